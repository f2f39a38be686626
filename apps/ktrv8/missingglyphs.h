#ifndef MISSINGGLYPHS_H
#define MISSINGGLYPHS_H

#include <QString>

class Output;

// Work whose text holds characters no installed font has is refused by the conversion with
// a line per character, then how many. Said here on stderr in every mode, each line after
// `prefix` (the file), then how to cut without them; with --json the error event lists the
// characters under "missing". Returns the exit code.
int refuseMissingGlyphs(const Output& out, const QString& prefix, const QString& refusal);

#endif // MISSINGGLYPHS_H
