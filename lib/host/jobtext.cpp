#include "jobtext.h"

#include <QFileDevice>

#include <climits>

namespace {

bool isWhitespace(uchar c)
{
    return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Length of the UTF-8 sequence starting at i, or 0 when it is not valid UTF-8.
int utf8Length(const uchar* data, qsizetype size, qsizetype i)
{
    const uchar c = data[i];
    const int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    if (length == 0 || (c >= 0xE0 && c > 0xF4) || i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((data[i + k] & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms and surrogates are not text either.
    if ((c == 0xE0 && data[i + 1] < 0xA0) || (c == 0xED && data[i + 1] >= 0xA0) || (c == 0xF0 && data[i + 1] < 0x90)
        || (c == 0xF4 && data[i + 1] >= 0x90))
        return 0;
    return length;
}

// inJob: the byte is in what reads as a PLT job, where STX and ETX are said to break its frame.
QString controlName(uchar c, bool inJob)
{
    switch (c) {
    case 0x00: return QStringLiteral("a NUL byte");
    case 0x02:
        return inJob ? QStringLiteral("an STX byte (0x02), which would end the frame early")
                     : QStringLiteral("an STX byte (0x02)");
    case 0x03:
        if (!inJob)
            return QStringLiteral("an ETX byte (0x03)");
        return QStringLiteral(
            "an ETX byte (0x03), which would end the frame early (HP-GL label text must use another terminator, DT)");
    case 0x7f: return QStringLiteral("a DEL byte (0x7f)");
    default: return QStringLiteral("a control byte (0x%1)").arg(c, 2, 16, QLatin1Char('0'));
    }
}

} // namespace

namespace {

// What the file's first bytes say it is, when that is not text.
bool isForeignStart(const uchar* data, qsizetype size, QString* reason)
{
    if (size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
        *reason = QStringLiteral("UTF-16 text; save the job as ASCII or UTF-8");
        return true;
    }
    if (size >= 4 && data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F') {
        *reason = QStringLiteral("an executable, not a job");
        return true;
    }
    return false;
}

qsizetype firstNonTextByte(const uchar* data, qsizetype size, QString* reason, bool inJob = true)
{
    for (qsizetype i = 0; i < size;) {
        const uchar c = data[i];
        if (c >= 0x20 && c < 0x7f) {
            ++i;
            continue;
        }
        if (c < 0x80) {
            if (isWhitespace(c)) {
                ++i;
                continue;
            }
            *reason =
                controlName(c, inJob) + (c == 0 ? QStringLiteral(" (a binary file, or UTF-16 text?)") : QString());
            return i;
        }
        const int length = utf8Length(data, size, i);
        if (length == 0) {
            *reason = QStringLiteral("a byte (0x%1) that is not UTF-8 text").arg(c, 2, 16, QLatin1Char('0'));
            return i;
        }
        i += length;
    }
    return -1;
}

} // namespace

namespace {

// Bytes at the end of a chunk that begin a UTF-8 sequence the next chunk completes.
qsizetype incompleteTail(const QByteArray& chunk)
{
    const auto* data = reinterpret_cast<const uchar*>(chunk.constData());
    const qsizetype size = chunk.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const uchar c = data[size - back];
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for the lead
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

QString plainTextBreak(const QByteArray& start)
{
    const auto* data = reinterpret_cast<const uchar*>(start.constData());
    QString reason;
    const qsizetype offset =
        isForeignStart(data, start.size(), &reason) ? 0 : firstNonTextByte(data, start.size(), &reason, false);
    return offset >= 0 ? QStringLiteral("byte %1 is %2").arg(offset).arg(reason) : QString();
}

bool readJobText(QFileDevice& file, QByteArray piece, QString* text, QString* error, bool* unreadable)
{
    *unreadable = false;
    QString result;
    result.reserve(int(qMin<qint64>(file.size(), INT_MAX)));
    qint64 pieceStart = 0;
    bool last = false;
    while (true) {
        const qsizetype carry = last ? 0 : incompleteTail(piece);
        const QByteArray whole = piece.left(piece.size() - carry);
        QString reason;
        // Byte-order marks and executable headers count only at the start of the file.
        const auto* data = reinterpret_cast<const uchar*>(whole.constData());
        const qsizetype offset = pieceStart == 0 && isForeignStart(data, whole.size(), &reason)
                                     ? 0
                                     : firstNonTextByte(data, whole.size(), &reason);
        if (offset >= 0) {
            *error = QStringLiteral("byte %1 is %2; a job is plain text (ASCII or UTF-8)")
                         .arg(pieceStart + offset)
                         .arg(reason);
            return false;
        }
        result += QString::fromUtf8(whole);
        pieceStart += whole.size();
        if (last)
            break;
        piece = piece.right(carry);
        const QByteArray more = file.read(JobPieceBytes);
        if (file.error() != QFileDevice::NoError) {
            *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
            *unreadable = true;
            return false;
        }
        last = more.isEmpty();
        piece += more;
    }
    *text = std::move(result);
    return true;
}
