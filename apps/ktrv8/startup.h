#ifndef STARTUP_H
#define STARTUP_H

#include "invocation.h"

#include <QCommandLineOption>
#include <QCoreApplication>
#include <QList>

#include <memory>

// What ktrv8 does before a command runs: the language, the application object, the options.

// The driver picks its translation from the system locale, read once at start-up.
bool applyLanguage(int argc, char** argv, QString* error);
// Qt's and the driver's log lines reach stderr only when setVerboseLog(true) (--verbose) or
// KTRV8_DEBUG=1.
void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& text);
void setVerboseLog(bool on);
// ktrv8's translation for the locale in force; after the application object is made.
void installHostTranslation();
bool hasArgument(int argc, char** argv, const char* option, bool prefix);
// Null when the command opens a window and there is no display.
std::unique_ptr<QCoreApplication> makeApplication(const Command* command, int& argc, char** argv);

QList<QCommandLineOption> hostOptions();
// --NAME as a whole number from min to max, left as it is when not given.
bool intValue(const QCommandLineParser& parser, const QString& name, int min, int max, int* value, QString* error);
QStringList markNegativeNumbers(QStringList arguments);
QStringList commandArguments(const QCommandLineParser& parser, const Command& command);

#endif // STARTUP_H
