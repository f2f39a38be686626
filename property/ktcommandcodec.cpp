/*
 * The cutter's command language. Every message, request or reply, is one frame:
 *
 *   STX  N  ";"  WORD ";" BODY  ETX
 *   0x02                         0x03
 *
 * N is the length of the whole frame in bytes (STX and ETX included), in decimal, no sign,
 * no leading zeros. WORD is "CMD", "CCMD", "PLT", "PPLT" or "QR_PLT"; the payload (WORD ";"
 * BODY) is sent in the local 8-bit encoding and N counts those bytes.
 *
 *   CMD  read      GET<g>;<g+1>;...            one item per register
 *   CMD  write     SET<s>:<v>;                 one register
 *                  SET<s>:<lo>;<s+1>:<hi>;<s+2>:0;...   several registers (16-bit words)
 *   CMD  copies    NUM:<v>;
 *   CCMD read      <g>[,<param>...];
 *   CCMD write     <s>,[<param>,...]<v>;       or <s>,<child v>,<child v>...; (compound)
 *   PLT, PPLT, QR_PLT   the job text verbatim
 *
 * Replies: "CMD" items are <KEY><register>:<value>; "CCMD" carries <code>,<result>,<values>
 * where result 0 is success. Values are never scaled on the wire.
 */
#include "ktdeviceproperty.h"

namespace {

int decimalDigits(int n)
{
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

// A multi-register value spans at most six registers: low half, high half, then zeros.
constexpr int MaxRegisters = 6;

} // namespace

QString KTDeviceProperty::valueText() const
{
    return m_value.toString();
}

bool KTDeviceProperty::isCompound() const
{
    return m_value.userType() == QMetaType::QStringList && m_value.toStringList().size() >= 2;
}

QByteArray KTDeviceProperty::pack(QString body, QString word) const
{
    // Word and body are encoded apart and meet only in the frame: a job page of megabytes
    // is then copied twice, not four times. The ";" between them is ASCII, so the bytes are
    // those of the whole payload encoded at once.
    const QByteArray head = word.toLocal8Bit();
    const QByteArray text = body.toLocal8Bit();
    const int p = head.size() + 1 + text.size();
    // Counting the digits of N changes N itself; two steps settle it at every boundary.
    const int d = decimalDigits(p + 3);
    const int n = p + 3 + decimalDigits(p + 3 + d);
    QByteArray frame;
    frame.reserve(n);
    frame.append('\x02').append(QByteArray::number(n)).append(';').append(head).append(';').append(text).append('\x03');
    return frame;
}

QByteArray KTDeviceProperty::get_cmd_bytes() const
{
    if (m_cmdType == KTDeviceInterface::UnCMD || m_cmdLen == 0 || m_getCmd == 0)
        return {};
    QString body;
    switch (m_cmdType) {
    case KTDeviceInterface::CMD:
        if (m_cmdLen < 1)
            return {};
        body = QStringLiteral("GET");
        for (int i = 0; i < m_cmdLen; ++i)
            body += QString::number(m_getCmd + i) + QLatin1Char(';');
        return pack(body, QStringLiteral("CMD"));
    case KTDeviceInterface::CCMD:
        body = QString::number(m_getCmd);
        for (const QString& p : m_param)
            body += QLatin1Char(',') + p;
        body += QLatin1Char(';');
        return pack(body, QStringLiteral("CCMD"));
    default: return {}; // job texts and copy counts are write-only
    }
}

QString KTDeviceProperty::registerWords() const
{
    const quint32 v = m_value.toUInt();
    const QString words[MaxRegisters] = {QString::number(v & 0xFFFFu), QString::number(v >> 16), QStringLiteral("0"),
                                         QStringLiteral("0"),          QStringLiteral("0"),      QStringLiteral("0")};
    QString body = QStringLiteral("SET");
    for (int i = 0; i < m_cmdLen; ++i)
        body += QString::number(m_setCmd + i) + QLatin1Char(':') + words[i] + QLatin1Char(';');
    return body;
}

QString KTDeviceProperty::compoundValues() const
{
    QString body = QString::number(m_setCmd);
    const QStringList keys = m_value.toStringList();
    for (const QString& key : keys) {
        if (KTDeviceProperty* child = property_ptr(key.toLatin1().constData()))
            body += QLatin1Char(',') + child->valueText();
    }
    return body + QLatin1Char(';');
}

QByteArray KTDeviceProperty::set_cmd_bytes() const
{
    if (m_cmdType == KTDeviceInterface::UnCMD || m_setCmd == 0)
        return {};
    switch (m_cmdType) {
    case KTDeviceInterface::CMD:
        if (m_cmdLen < 1 || m_cmdLen > MaxRegisters)
            return {};
        if (m_cmdLen == 1)
            return pack(QStringLiteral("SET") + QString::number(m_setCmd) + QLatin1Char(':') + valueText()
                            + QLatin1Char(';'),
                        QStringLiteral("CMD"));
        return pack(registerWords(), QStringLiteral("CMD"));
    case KTDeviceInterface::CCMD: {
        if (isCompound())
            return pack(compoundValues(), QStringLiteral("CCMD"));
        QString body = QString::number(m_setCmd) + QLatin1Char(',');
        for (const QString& p : m_param)
            body += p + QLatin1Char(',');
        return pack(body + valueText() + QLatin1Char(';'), QStringLiteral("CCMD"));
    }
    case KTDeviceInterface::NUM:
        return pack(QStringLiteral("NUM:") + valueText() + QLatin1Char(';'), QStringLiteral("CMD"));
    case KTDeviceInterface::PLT: return pack(valueText(), QStringLiteral("PLT"));
    case KTDeviceInterface::PPLT: return pack(valueText(), QStringLiteral("PPLT"));
    case KTDeviceInterface::QRPLT: return pack(valueText(), QStringLiteral("QR_PLT"));
    default: return {};
    }
}

// A reply field takes the type the value already has; other types are never overwritten.
void KTDeviceProperty::set_decode(QString text)
{
    switch (m_value.userType()) {
    case QMetaType::QString: m_value = text; break;
    case QMetaType::UInt: m_value = QVariant(text.toUInt()); break;
    case QMetaType::Int: m_value = QVariant(text.toInt()); break;
    case QMetaType::Double: m_value = QVariant(text.toDouble()); break;
    default: break;
    }
}

void KTDeviceProperty::set_decode(QStringList fields)
{
    if (fields.size() < 2) {
        if (!fields.isEmpty())
            set_decode(fields.first());
        return;
    }
    if (m_cmdType == KTDeviceInterface::CMD) {
        const quint32 low = fields.at(0).toUShort();
        const quint32 high = fields.at(1).toUShort();
        m_value = QVariant(static_cast<qint32>(low | (high << 16)));
        return;
    }
    if (m_cmdType != KTDeviceInterface::CCMD)
        return;
    if (m_value.userType() == QMetaType::QStringList && !m_value.toStringList().isEmpty()) {
        const QStringList keys = m_value.toStringList();
        for (int i = 0; i < keys.size() && i < fields.size(); ++i) {
            if (KTDeviceProperty* child = property_ptr(keys.at(i).toLatin1().constData()))
                child->set_decode(QStringList{fields.at(i)});
        }
        return;
    }
    const int k = m_param.size();
    if (fields.size() < k + 1)
        return;
    for (int i = 0; i < k; ++i) {
        if (fields.at(i) != m_param.at(i))
            return;
    }
    set_decode(fields.at(k));
}
