#ifndef HPGLREADER_H
#define HPGLREADER_H

#include "cutpath.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace ktconv {

using CutPages = QVector<CutPaths>;

// True when the bytes read as HP-GL: instructions of two letters and parameters
// separated by ";", at least one of them moving the pen (PU, PD, PA or PR), and no control
// bytes but whitespace. A leading sample of a large file will do.
bool looksLikeHpgl(const QByteArray& content);

// Follows the pen through HP-GL. Instructions are found by their two letters, with
// or without the ";" that ends them; IN, PU, PD, PA, PR and PG move or lift the pen, label
// text (LB up to the DT terminator, else to ETX or ";") is skipped whole, every other
// instruction and any number that does not read is skipped. Coordinates come in pairs.
class HpglPen
{
public:
    virtual ~HpglPen() = default;
    // One move in plotter units; down: the knife cuts along it.
    virtual void moved(const QPointF& from, const QPointF& to, bool down) = 0;
    // The pen went up (PU, IN, PG): a stroke ends here.
    virtual void lifted() {}
    // PG: the page ends (the pen is lifted first).
    virtual void pageEnded() {}
};

// Gathers the knife-down strokes into cut paths; a stroke ends where the pen is lifted.
class StrokePen : public HpglPen
{
public:
    CutPaths strokes;

    void moved(const QPointF& from, const QPointF& to, bool down) override;
    void lifted() override;

private:
    CutPath stroke;
};

// Runs over the text once, in place: a page of any size costs no copy.
void followHpgl(QStringView text, HpglPen& pen);
void followHpgl(const QByteArray& text, HpglPen& pen);

// The pen-down strokes of each page ("PG" ends a page) in plotter units, as followed above.
CutPages readPltPages(const QByteArray& content);

} // namespace ktconv

#endif // HPGLREADER_H
