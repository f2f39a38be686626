// The simulator's request parser: a byte stream in chunks must give exactly what the whole
// stream gives at once, and nothing it parsed may contradict its frame.
#include "fuzzsupport.h"
#include "simprotocol.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ktfuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));
    int malformedWhole = 0;
    const QList<ktsim::Request> whole = ktsim::parseStream(stream, &malformedWhole);

    ktsim::RequestParser parser;
    ktfuzz::Chunker chunker(data[0]);
    QList<ktsim::Request> chunked;
    for (int at = 0; at < stream.size();) {
        const int n = int(std::min<size_t>(chunker.next(), size_t(stream.size() - at)));
        parser.feed(stream.mid(at, n));
        at += n;
        ktsim::Request request;
        while (parser.next(&request))
            chunked.append(request);
        KT_FUZZ_CHECK(parser.pendingBytes() <= ktsim::RequestParser::MaxFrameBytes);
    }
    KT_FUZZ_CHECK(chunked.size() == whole.size());
    KT_FUZZ_CHECK(parser.malformed() == malformedWhole);
    for (int i = 0; i < whole.size(); ++i) {
        const ktsim::Request& a = whole.at(i);
        const ktsim::Request& b = chunked.at(i);
        KT_FUZZ_CHECK(a.word == b.word && a.code == b.code && a.fields == b.fields && a.op == b.op
                      && a.registers == b.registers && a.number == b.number && a.job == b.job);
        // A job carried in a frame fits inside that frame.
        KT_FUZZ_CHECK(a.job.size() < stream.size());
    }
    return 0;
}
