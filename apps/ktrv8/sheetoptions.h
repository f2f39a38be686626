#ifndef SHEETOPTIONS_H
#define SHEETOPTIONS_H

#include <QCommandLineOption>
#include <QList>

class QCommandLineParser;
namespace ktconv {
struct CutOptions;
struct SheetOptions;
} // namespace ktconv

// The material and how designs go onto it, on the command line: --media (else the cutter's
// remembered material), --save-media, --fit, --repeat, --arrange, --gap, --weed-lines,
// --perforate.
QList<QCommandLineOption> sheetOptions();
extern const char* const sheetOptionsHelp;
bool readSheetOptions(const QCommandLineParser& parser, ktconv::CutOptions* cut, ktconv::SheetOptions* sheet,
                      QString* error);

#endif // SHEETOPTIONS_H
