#ifndef OUTPUT_H
#define OUTPUT_H

#include "hostcommon.h"

#include <QJsonObject>
#include <QString>

// Text for people, or one JSON object for scripts (--json), on stdout; errors on stderr.
class Output
{
public:
    explicit Output(bool json) : json(json) {}
    void line(const QString& text) const;
    void error(const QString& text) const;
    void result(const QJsonObject& object) const;
    // One JSON object for one event of a running job (--json only).
    void event(const QString& name, QJsonObject fields = QJsonObject()) const;
    // The error event of a command that ends with a non-zero code (--json only): the last
    // error message said, with the exit code.
    void finalError(int code) const;
    // Fields the error event carries beside the message: what a failed job left and where
    // it goes on.
    void errorFields(const QJsonObject& fields) const;
    // How far a long conversion got: an event under --json; otherwise on stderr, one line
    // rewritten in place on a terminal, a line each elsewhere. progressDone() clears the
    // line in place before anything else is said.
    void progress(const QString& stage, int percent) const;
    void progressDone() const;
    bool isJson() const { return json; }
    static bool terminal();

private:
    bool json;
};

#endif // OUTPUT_H
