#include "simprotocol.h"

namespace ktsim {

namespace {

bool isDecimal(const QString& text, bool allowSign)
{
    int start = (allowSign && text.startsWith(QLatin1Char('-'))) ? 1 : 0;
    if (text.size() <= start || text.size() - start > 9)
        return false;
    for (int i = start; i < text.size(); ++i) {
        if (!text.at(i).isDigit() || text.at(i).unicode() > 127)
            return false;
    }
    return true;
}

bool parseCcmd(const QString& body, Request* out)
{
    if (!body.endsWith(QLatin1Char(';')))
        return false;
    const QString item = body.chopped(1);
    if (item.contains(QLatin1Char(';')))
        return false;
    QStringList fields = item.split(QLatin1Char(','));
    if (!isDecimal(fields.first(), true))
        return false;
    out->code = fields.takeFirst().toInt();
    out->fields = fields;
    return true;
}

// "GET11;12;13;", "SET11:65336;12:65535;13:0;" or "NUM:3;".
bool parseCmd(const QString& body, Request* out)
{
    if (!body.endsWith(QLatin1Char(';')))
        return false;
    const QStringList items = body.chopped(1).split(QLatin1Char(';'));
    const QString& first = items.first();
    int letters = 0;
    while (letters < first.size() && first.at(letters) >= QLatin1Char('A') && first.at(letters) <= QLatin1Char('Z'))
        ++letters;
    const QString op = first.left(letters);
    if (op == QLatin1String("NUM")) {
        if (items.size() != 1 || first.mid(letters, 1) != QLatin1String(":"))
            return false;
        out->op = CmdOp::Num;
        out->number = first.mid(letters + 1);
        return true;
    }
    if (op != QLatin1String("GET") && op != QLatin1String("SET"))
        return false;
    out->op = op == QLatin1String("GET") ? CmdOp::Get : CmdOp::Set;
    for (int i = 0; i < items.size(); ++i) {
        const QString item = i == 0 ? first.mid(letters) : items.at(i);
        QString reg = item;
        QString value;
        if (out->op == CmdOp::Set) {
            const int colon = item.indexOf(QLatin1Char(':'));
            if (colon < 0)
                return false;
            reg = item.left(colon);
            value = item.mid(colon + 1);
        }
        if (!isDecimal(reg, false))
            return false;
        out->registers.append({reg.toInt(), value});
    }
    return true;
}

int digitCount(int n)
{
    return QByteArray::number(n).size();
}

} // namespace

bool parseFrame(const QByteArray& frame, Request* out)
{
    if (frame.size() < 4 || frame.front() != STX || frame.back() != ETX)
        return false;
    const int semi = frame.indexOf(';');
    if (semi < 2)
        return false;
    const QByteArray digits = frame.mid(1, semi - 1);
    bool ok = false;
    const int declared = digits.toInt(&ok);
    if (!ok || digits.startsWith('0') || digits.startsWith('+') || digits.startsWith('-') || declared != frame.size())
        return false;
    const QByteArray payload = frame.mid(semi + 1, frame.size() - semi - 2);
    const int wordEnd = payload.indexOf(';');
    if (wordEnd < 0)
        return false;
    const QByteArray word = payload.left(wordEnd);
    const QByteArray body = payload.mid(wordEnd + 1);
    Request request;
    if (word == "PPLT" || word == "PLT" || word == "QR_PLT") {
        request.word = word == "PPLT" ? Word::Pplt : word == "PLT" ? Word::Plt : Word::QrPlt;
        request.job = body;
    } else if (word == "CCMD") {
        request.word = Word::Ccmd;
        if (!parseCcmd(QString::fromUtf8(body), &request))
            return false;
    } else if (word == "CMD") {
        request.word = Word::Cmd;
        if (!parseCmd(QString::fromUtf8(body), &request))
            return false;
    } else {
        return false;
    }
    *out = request;
    return true;
}

QByteArray packFrame(const QByteArray& payload)
{
    const int base = payload.size() + 3;
    int digits = digitCount(base);
    while (digitCount(base + digits) != digits)
        digits = digitCount(base + digits);
    return STX + QByteArray::number(base + digits) + ';' + payload + ETX;
}

QByteArray ccmdReply(int code, int result, const QStringList& values)
{
    QString body = QStringLiteral("CCMD;%1,%2").arg(code).arg(result);
    for (const QString& value : values)
        body += QLatin1Char(',') + value;
    return packFrame((body + QLatin1Char(';')).toUtf8());
}

QByteArray cmdReply(const QString& op, const QList<QPair<int, QString>>& registers)
{
    QString body = QStringLiteral("CMD;") + op;
    for (const auto& reg : registers)
        body += QStringLiteral("%1:%2;").arg(reg.first).arg(reg.second);
    return packFrame(body.toUtf8());
}

void RequestParser::feed(const QByteArray& bytes)
{
    buffer.append(bytes);
}

bool RequestParser::next(Request* out)
{
    for (;;) {
        const int etx = buffer.indexOf(ETX, scanFrom);
        if (etx < 0) {
            scanFrom = buffer.size();
            if (buffer.size() > MaxFrameBytes) {
                // Nothing this long is a frame: keep only a frame that may have just begun.
                const int stx = buffer.lastIndexOf(STX);
                buffer = (stx >= 0 && buffer.size() - stx < MaxFrameBytes) ? buffer.mid(stx) : QByteArray();
                scanFrom = buffer.size();
                ++malformedFrames;
            }
            return false;
        }
        const QByteArray candidate = buffer.left(etx + 1);
        buffer.remove(0, etx + 1);
        scanFrom = 0;
        const int stx = candidate.lastIndexOf(STX);
        if (stx < 0)
            continue; // noise between frames
        if (parseFrame(candidate.mid(stx), out))
            return true;
        ++malformedFrames;
    }
}

void RequestParser::reset()
{
    buffer.clear();
    scanFrom = 0;
}

QList<Request> parseStream(const QByteArray& bytes, int* malformed)
{
    RequestParser parser;
    parser.feed(bytes);
    QList<Request> requests;
    Request request;
    while (parser.next(&request))
        requests.append(request);
    if (malformed)
        *malformed = parser.malformed();
    return requests;
}

} // namespace ktsim
