#include "recordrules.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// The JSON type each known field must have and its largest size: characters of a string,
// magnitude of a number. Fields not listed are kept as they come, within the same bounds.
struct FieldRule
{
    const char* key;
    QJsonValue::Type type;
    double most;
};

constexpr double Count = 2147483647.0; // what the driver's own integers hold
constexpr int TextChars = 256;
constexpr double Huge = 9223372036854775807.0; // what a 64-bit integer holds, as the driver sends areas
constexpr int MaxFields = 64;

constexpr FieldRule DeviceFields[] = {
    {"id", QJsonValue::Double, Count},
    {"code", QJsonValue::String, 64},
    {"pcb", QJsonValue::String, TextChars},
    {"version", QJsonValue::String, TextChars},
    {"device_id", QJsonValue::String, TextChars},
    {"online", QJsonValue::Bool, 0},
    {"device_model", QJsonValue::Double, Count},
};

constexpr FieldRule WorkRecordFields[] = {
    {"device", QJsonValue::Double, Count},         {"end_time", QJsonValue::String, 40},
    {"task_time", QJsonValue::Double, Count},      {"softwareType", QJsonValue::Double, Count},
    {"task_copies", QJsonValue::Double, Count},    {"finish_copies", QJsonValue::Double, Count},
    {"page_area", QJsonValue::Double, Huge},       {"page_size", QJsonValue::String, 48},
    {"path_length", QJsonValue::Double, Huge},     {"task_model", QJsonValue::Double, Count},
    {"work_model", QJsonValue::Double, Count},     {"file_name", QJsonValue::String, TextChars},
    {"record_key", QJsonValue::String, TextChars},
};

// Counts and measures that cannot be below zero. The page area is left alone: the driver
// sends the signed product of the job's sides as it has them.
constexpr const char* NonNegative[] = {"task_time", "task_copies", "finish_copies", "path_length"};

const char* typeName(QJsonValue::Type type)
{
    switch (type) {
    case QJsonValue::Double: return "a number";
    case QJsonValue::String: return "a string";
    case QJsonValue::Bool: return "true or false";
    default: return "something else";
    }
}

// Too long a text or too large a number, whatever the field: nothing in a record needs more,
// and every byte stored is shown on the page and in every CSV.
QString tooLarge(const QString& key, const QJsonValue& value, double most)
{
    if (value.isString() && value.toString().size() > most)
        return QStringLiteral("\"%1\" must not be longer than %2 characters").arg(key).arg(most);
    if (value.isDouble() && std::abs(value.toDouble()) > most)
        return QStringLiteral("\"%1\" must not be larger than %2").arg(key).arg(most, 0, 'g', 10);
    if (value.isArray() || value.isObject())
        return QStringLiteral("\"%1\" must be a plain value").arg(key);
    return QString();
}

template <size_t N>
QString checkFields(const QJsonObject& body, const FieldRule (&rules)[N])
{
    if (body.size() > MaxFields)
        return QStringLiteral("a record has at most %1 fields").arg(MaxFields);
    for (auto it = body.begin(); it != body.end(); ++it) {
        const auto rule = std::find_if(std::begin(rules), std::end(rules),
                                       [&](const FieldRule& r) { return it.key() == QLatin1String(r.key); });
        if (rule != std::end(rules) && it.value().type() != rule->type)
            return QStringLiteral("\"%1\" must be %2").arg(it.key(), QLatin1String(typeName(rule->type)));
        const double most = rule != std::end(rules) ? rule->most : it.value().isString() ? TextChars : Huge;
        const QString wrong = tooLarge(it.key(), it.value(), most);
        if (!wrong.isEmpty())
            return wrong;
        if (it.key().size() > 64)
            return QStringLiteral("field names are at most 64 characters");
    }
    return QString();
}

// Devices write "yyyy-MM-dd hh:mm:ss" and a fraction whose digits vary.
bool readableEndTime(const QString& text)
{
    return RecordRules::endTime(QJsonObject{{QStringLiteral("end_time"), text}}).isValid();
}

QByteArray csvField(const QJsonValue& value)
{
    QString text = value.isString()   ? value.toString()
                   : value.isDouble() ? QString::number(value.toDouble(), 'g', 15)
                                      : QString();
    // A leading =, +, - or @ makes a spreadsheet run the cell; a quote in front keeps it text.
    static const QString formulaLeads = QStringLiteral("=+-@\t\r");
    if (value.isString() && !text.isEmpty() && formulaLeads.contains(text.at(0)))
        text.prepend(QLatin1Char('\''));
    static const QString quoted = QStringLiteral(",\"\n\r");
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return quoted.contains(c); }))
        text = QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    return text.toUtf8();
}

} // namespace

namespace RecordRules {

QString checkDevice(const QJsonObject& record)
{
    return checkFields(record, DeviceFields);
}

QString checkWorkRecord(const QJsonObject& record)
{
    const QString wrongType = checkFields(record, WorkRecordFields);
    if (!wrongType.isEmpty())
        return wrongType;
    for (const char* key : NonNegative) {
        if (record.value(QLatin1String(key)).toDouble() < 0)
            return QStringLiteral("\"%1\" must not be negative").arg(QLatin1String(key));
    }
    const QJsonValue ordered = record.value(QStringLiteral("task_copies"));
    if (ordered.isDouble() && record.value(QStringLiteral("finish_copies")).toDouble() > ordered.toDouble())
        return QStringLiteral("\"finish_copies\" must not exceed \"task_copies\"");
    const QJsonValue ended = record.value(QStringLiteral("end_time"));
    if (ended.isString() && !readableEndTime(ended.toString()))
        return QStringLiteral("\"end_time\" must be a date and time (yyyy-MM-dd hh:mm:ss)");
    return QString();
}

QString parseObject(const QByteArray& body, QJsonObject& object)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("malformed JSON at byte %1: %2").arg(error.offset).arg(error.errorString());
    if (!doc.isObject())
        return QStringLiteral("a JSON object is required");
    object = doc.object();
    return QString();
}

QDateTime parseTime(const QString& text)
{
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0), Qt::UTC);
    else if (when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC);
    return when;
}

QByteArray workRecordsCsv(const QList<QJsonObject>& records)
{
    static const char* const columns[] = {"id",          "device",        "end_time",   "task_time",
                                          "task_copies", "finish_copies", "page_size",  "page_area",
                                          "path_length", "task_model",    "work_model", "file_name"};
    QByteArray csv;
    for (const char* column : columns)
        csv += QByteArray(column) + (column == columns[std::size(columns) - 1] ? "\r\n" : ",");
    for (const QJsonObject& r : records) {
        QByteArrayList row;
        for (const char* column : columns)
            row << csvField(r.value(QLatin1String(column)));
        csv += row.join(',') + "\r\n";
    }
    return csv;
}

// Read as UTC field by field: a conversion through local time would look the zone file up
// on every record.
QDateTime endTime(const QJsonObject& record)
{
    const QString text = record.value(QStringLiteral("end_time")).toString();
    const QDate day = QDate::fromString(text.left(10), Qt::ISODate);
    if (!day.isValid() || (text.size() > 10 && text.at(10) != QLatin1Char(' ') && text.at(10) != QLatin1Char('T')))
        return QDateTime();
    QTime time = text.size() == 10 ? QTime(0, 0) : QTime::fromString(text.mid(11, 8), Qt::ISODate);
    if (!time.isValid())
        return QDateTime();
    if (text.size() > 20 && text.at(19) == QLatin1Char('.')) // a fraction of as many digits as it has
        time = time.addMSecs(text.mid(20, 3).leftJustified(3, QLatin1Char('0')).toInt());
    return QDateTime(day, time, Qt::UTC);
}

// A repeat of a record (the host posting it again after a lost answer) names the same task:
// the cutter's code with the host's own "record_key", or else with the task's start time,
// its end less its length in whole seconds.
QString recordKey(const QJsonObject& record, const QString& deviceCode)
{
    const QString chosen = record.value(QStringLiteral("record_key")).toString();
    if (!chosen.isEmpty())
        return deviceCode + QLatin1Char('#') + chosen;
    const QDateTime ended = endTime(record);
    if (!ended.isValid())
        return QString();
    const QDateTime start = ended.addSecs(-qint64(record.value(QStringLiteral("task_time")).toDouble()));
    return deviceCode + QLatin1Char('@') + start.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"));
}

} // namespace RecordRules
