#ifndef SCALE_H
#define SCALE_H

#include <QString>
#include <QVector>

namespace ktbench {

// One conversion of the drawing in `file` in a process of its own, so its peak resident
// memory is its own: mode "order" (the default cut order), "keep" (--keep-order) or
// "quadratic" (the previous order). Prints one line for the parent; returns the exit code.
int convertOnce(const QString& file, const QString& mode);

// The drawing of `paths` paths the scale rows convert, or with `stacked` the stacked rows',
// written to `file` (for a profiler or a conversion by hand). Returns the exit code.
int writeDrawing(int paths, const QString& file, bool stacked = false);

// Drawings of `sizes` paths (squares, each with a square inside, in random order) converted
// by child processes of `self` in every mode, and by the vector editor when `editor`.
void runScaleRows(const QString& self, const QVector<int>& sizes, bool editor);

// A drawing of `paths` copies of one square and of a square inside it, stacked at one place,
// converted in both modes as above.
void runStackedRows(const QString& self, int paths);

} // namespace ktbench

#endif // SCALE_H
