#include "output.h"

#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

namespace {
QString lastError;
QJsonObject lastErrorFields;
bool progressShown = false; // a progress line stands in place on the terminal
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

void Output::progress(const QString& stage, int percent) const
{
    if (json) {
        event(QStringLiteral("progress"), {{QStringLiteral("stage"), stage}, {QStringLiteral("percent"), percent}});
        return;
    }
    if (::isatty(STDERR_FILENO) == 1) {
        std::fprintf(stderr, "\r\033[K%s %d%%", qPrintable(stage), percent);
        progressShown = true;
    } else {
        std::fprintf(stderr, "%s %d%%\n", qPrintable(stage), percent);
    }
    std::fflush(stderr);
}

void Output::progressDone() const
{
    if (!progressShown)
        return;
    progressShown = false;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
}
