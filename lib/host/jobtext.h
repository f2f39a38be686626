#ifndef JOBTEXT_H
#define JOBTEXT_H

#include <QByteArray>
#include <QString>

// A job file is plain text: ASCII or UTF-8, with no NUL, STX, ETX or other control byte
// except whitespace. STX and ETX would end the frame that carries a page, and a NUL cuts
// the text, so a job that breaks these rules is refused whole before anything is sent.
// Returns the offset of the first offending byte (with a reason), or -1 when the text is fine.
qsizetype checkJobText(const QByteArray& bytes, QString* reason);

// Reads, checks and converts a job file. The file's bytes are released before returning, so
// the caller holds the one copy it then hands on (std::move) to the driver.
bool loadJobText(const QString& path, QString* text, QString* error);

#endif // JOBTEXT_H
