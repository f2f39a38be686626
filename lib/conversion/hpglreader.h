#ifndef HPGLREADER_H
#define HPGLREADER_H

#include "cutpath.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace ktconv {

using PlotterPages = QVector<CutPaths>;

// True when the bytes read as plotter text: instructions of two letters and parameters
// separated by ";", at least one of them moving the pen (PU, PD, PA or PR), and no control
// bytes but whitespace. A leading sample of a large file will do.
bool looksLikePlotterText(const QByteArray& content);

// Follows the pen through plotter text. Instructions are found by their two letters, with
// or without the ";" that ends them; IN, PU, PD, PA, PR and PG move or lift the pen, label
// text (LB up to the DT terminator, else to ETX or ";") is skipped whole, every other
// instruction and any number that does not read is skipped. Coordinates come in pairs.
class PlotterPen
{
public:
    virtual ~PlotterPen() = default;
    // One move in plotter units; down: the knife cuts along it.
    virtual void moved(const QPointF& from, const QPointF& to, bool down) = 0;
    // The pen went up (PU, IN, PG): a stroke ends here.
    virtual void lifted() {}
    // PG: the page ends (the pen is lifted first).
    virtual void pageEnded() {}
};

// Runs over the text once, in place: a page of any size costs no copy.
void followPlotterText(QStringView text, PlotterPen& pen);
void followPlotterText(const QByteArray& text, PlotterPen& pen);

// The pen-down strokes of each page ("PG" ends a page) in plotter units, as followed above.
PlotterPages readPlotterText(const QByteArray& content);

} // namespace ktconv

#endif // HPGLREADER_H
