#ifndef SIMPROTOCOL_H
#define SIMPROTOCOL_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The cutter's side of the command language: cutting request frames out of a byte stream
// and building reply frames. Touches no socket, so any byte sequence can be thrown at it.
namespace ktsim {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;

enum class Word {
    Ccmd,
    Cmd,
    Pplt,
    Plt,
    QrPlt
};
enum class CmdOp {
    None,
    Get,
    Set,
    Num
};

struct Request
{
    Word word = Word::Ccmd;
    // CCMD: the code and the comma-separated fields after it ("7,0;" gives 7 and ("0")).
    int code = 0;
    QStringList fields;
    // CMD: GET lists registers (empty values), SET pairs registers with values, NUM has a value.
    CmdOp op = CmdOp::None;
    QList<QPair<int, QString>> registers;
    QString number;
    // PPLT, PLT, QR_PLT: the job text exactly as received.
    QByteArray job;
};

// Parses one whole frame (STX..ETX). Returns false for anything malformed: wrong length
// field, unknown word, a body that does not follow the request forms.
bool parseFrame(const QByteArray& frame, Request* out);

// A frame around payload; the length field counts the whole frame.
QByteArray packFrame(const QByteArray& payload);
QByteArray ccmdReply(int code, int result, const QStringList& values = {});
QByteArray cmdReply(const QString& op, const QList<QPair<int, QString>>& registers);

// Incremental frame cutter: bytes in, requests out. Bytes outside frames, truncated
// frames and malformed frames are dropped and counted.
class RequestParser
{
public:
    // A frame that has not ended after this many bytes is given up.
    static constexpr int MaxFrameBytes = 8 * 1024 * 1024;

    void feed(const QByteArray& bytes);
    bool next(Request* out);
    void reset();
    int malformed() const { return malformedFrames; }
    int pendingBytes() const { return buffer.size(); }

private:
    QByteArray buffer;
    int scanFrom = 0; // no ETX before this offset
    int malformedFrames = 0;
};

// Everything the parser makes of bytes, e.g. for fuzzing.
QList<Request> parseStream(const QByteArray& bytes, int* malformed = nullptr);

} // namespace ktsim

#endif // SIMPROTOCOL_H
