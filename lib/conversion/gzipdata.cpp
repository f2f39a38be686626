#include "gzipdata.h"

#include <zlib.h>

namespace ktconv {

bool looksGzipped(const QByteArray& content)
{
    return content.startsWith("\x1f\x8b");
}

QByteArray gunzip(const QByteArray& content, qint64 limit)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) // 16: a gzip header, not zlib's
        return QByteArray();
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.constData()));
    stream.avail_in = uInt(content.size());
    QByteArray out;
    char buffer[64 * 1024];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, int(sizeof buffer - stream.avail_out));
        if (out.size() > limit)
            status = Z_MEM_ERROR;
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : QByteArray();
}

} // namespace ktconv
