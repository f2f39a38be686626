#ifndef JOBTEXT_H
#define JOBTEXT_H

#include <QByteArray>
#include <QString>

class QFileDevice;

// A job file is plain text: ASCII or UTF-8, with no NUL, STX, ETX or other control byte
// except whitespace. STX and ETX would end the frame that carries a page, and a NUL cuts
// the text, so a job that breaks these rules is refused whole before anything is sent.

// How much of a job file is read, checked and converted at a time.
constexpr qint64 JobPieceBytes = 4 << 20;

// Checks and converts an open job file a piece at a time, beginning with `first`, the piece
// already read from its start (a short one: the whole file): the file's bytes and its text
// never exist together, so a large job costs its text (2 x its ASCII bytes) and one piece.
// False with the reason: a read error (unreadable set), or the offset of the first byte that
// is not plain text.
bool readJobText(QFileDevice& file, QByteArray first, QString* text, QString* error, bool* unreadable);

// The first place where the start of a file breaks the rules of plain text ("byte 9 is a NUL
// byte ..."), or an empty text when it keeps them.
QString plainTextBreak(const QByteArray& start);

#endif // JOBTEXT_H
