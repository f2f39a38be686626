#ifndef HPGLREADER_H
#define HPGLREADER_H

#include "cutpath.h"

#include <QByteArray>
#include <QString>

namespace ktconv {

using PlotterPages = QVector<CutPaths>;

// True when the bytes read as plotter text: instructions of two letters and parameters
// separated by ";", at least one of them moving the pen (PU, PD, PA or PR), and no control
// bytes but whitespace. A leading sample of a large file will do.
bool looksLikePlotterText(const QByteArray& content);

// The pen-down strokes of each page ("PG" ends a page) in plotter units, from IN, PA, PR,
// PU and PD; other instructions are skipped.
PlotterPages readPlotterText(const QByteArray& content);

} // namespace ktconv

#endif // HPGLREADER_H
