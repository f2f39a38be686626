#ifndef HPGLREADER_H
#define HPGLREADER_H

#include "cutpath.h"

#include <QByteArray>
#include <QString>

namespace ktconv {

using PlotterPages = QVector<CutPaths>;

// True when the bytes read as plotter text: printable ASCII instructions separated by ";"
// of which at least one moves the pen (PU, PD, PA or PR).
bool looksLikePlotterText(const QByteArray& content);

// The pen-down strokes of each page ("PG" ends a page) in plotter units, from IN, PA, PR,
// PU and PD; other instructions are skipped.
PlotterPages readPlotterText(const QByteArray& content);

} // namespace ktconv

#endif // HPGLREADER_H
