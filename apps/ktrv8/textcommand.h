#ifndef TEXTCOMMAND_H
#define TEXTCOMMAND_H

#include <QCommandLineOption>
#include <QList>

struct Invocation;

// "text": lettering typed in, cut through the path every drawing takes.
QList<QCommandLineOption> letteringOptions();
// Lays the text out and converts it before any cutter is reached; a character no installed
// font has refuses it (exit 2) unless --allow-missing-glyphs.
int checkText(Invocation& call);
// Writes the job or its preview (-o), or cuts it.
int runText(Invocation& call);

#endif // TEXTCOMMAND_H
