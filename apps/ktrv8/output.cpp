#include "output.h"

#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

namespace {
QString lastError;
QJsonObject lastErrorFields;
} // namespace

void Output::line(const QString& text) const
{
    if (json)
        return;
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

void Output::error(const QString& text) const
{
    lastError = text;
    std::fprintf(stderr, "ktrv8: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void Output::result(const QJsonObject& object) const
{
    if (!json)
        return;
    std::fprintf(stdout, "%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

bool Output::terminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

void Output::event(const QString& name, QJsonObject fields) const
{
    if (!json)
        return;
    fields.insert(QStringLiteral("event"), name);
    std::fprintf(stdout, "%s\n", QJsonDocument(fields).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

void Output::finalError(int code) const
{
    if (code == ExitOk)
        return;
    QJsonObject fields = lastErrorFields;
    fields.insert(QStringLiteral("code"), code);
    fields.insert(QStringLiteral("message"), lastError);
    event(QStringLiteral("error"), fields);
}

void Output::errorFields(const QJsonObject& fields) const
{
    lastErrorFields = fields;
}
