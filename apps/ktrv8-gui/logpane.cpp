#include "logpane.h"

#include <QTime>

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("log"));
    setReadOnly(true);
    setMaximumBlockCount(5000); // a long job must not grow the window's memory
    setMinimumHeight(90);
}

void LogPane::note(const QString& text)
{
    add(text, nullptr);
}

void LogPane::problem(const QString& text)
{
    add(text, "#b00020");
    emit problemAdded(text);
}

void LogPane::add(const QString& text, const char* colour)
{
    const QString stamp = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    const QString body = text.toHtmlEscaped();
    appendHtml(colour ? QStringLiteral("%1 <span style=\"color:%2\">%3</span>").arg(stamp, QLatin1String(colour), body)
                      : QStringLiteral("%1 %2").arg(stamp, body));
}
