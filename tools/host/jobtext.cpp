#include "jobtext.h"

#include <QFile>

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

QString controlName(uchar c)
{
    switch (c) {
    case 0x00: return QStringLiteral("a NUL byte");
    case 0x02: return QStringLiteral("an STX byte (0x02), which would end the frame early");
    case 0x03: return QStringLiteral("an ETX byte (0x03), which would end the frame early (HP-GL label text must use another terminator, DT)");
    case 0x7f: return QStringLiteral("a DEL byte (0x7f)");
    default: return QStringLiteral("a control byte (0x%1)").arg(c, 2, 16, QLatin1Char('0'));
    }
}

} // namespace

qsizetype checkJobText(const QByteArray& bytes, QString* reason)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
        *reason = QStringLiteral("UTF-16 text; save the job as ASCII or UTF-8");
        return 0;
    }
    if (size >= 4 && data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F') {
        *reason = QStringLiteral("an executable, not a job");
        return 0;
    }
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
            *reason = controlName(c) + (c == 0 ? QStringLiteral(" (a binary file, or UTF-16 text?)") : QString());
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

bool loadJobText(const QString& path, QString* text, QString* error)
{
    QByteArray bytes;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
    }
    QString reason;
    const qsizetype offset = checkJobText(bytes, &reason);
    if (offset >= 0) {
        *error = QStringLiteral("%1: not sent: byte %2 is %3; a job is plain text (ASCII or UTF-8)").arg(path).arg(offset).arg(reason);
        return false;
    }
    *text = QString::fromUtf8(bytes);
    return true;
}
