#ifndef RECORDRULES_H
#define RECORDRULES_H

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

// What the service accepts in a device or work record and how records leave it as CSV.
namespace RecordRules {

// An error text naming the field, or empty when the record may be stored.
QString checkDevice(const QJsonObject& record);
QString checkWorkRecord(const QJsonObject& record);

// An error text, or empty when body is one JSON object.
QString parseObject(const QByteArray& body, QJsonObject& object);

// ISO 8601 date or date and time; UTC unless the text names a zone.
QDateTime parseTime(const QString& text);

// Work records as CSV for a spreadsheet: cells it would run as formulas are made plain text.
QByteArray workRecordsCsv(const QList<QJsonObject>& records);

// A work record's "end_time" ("yyyy-MM-dd hh:mm:ss" and a fraction, or ISO 8601, a zone
// ignored) as UTC; invalid when it is none.
QDateTime endTime(const QJsonObject& record);
// What makes two posts of a work record the same record; empty when nothing does.
QString recordKey(const QJsonObject& record, const QString& deviceCode);

} // namespace RecordRules

#endif // RECORDRULES_H
