#ifndef QUADRATICORDER_H
#define QUADRATICORDER_H

#include "cutpath.h"

namespace ktbench {

// The previous cut order, for comparing time and pen-up travel with the indexed one.
ktconv::CutPaths quadraticOrder(const ktconv::CutPaths& paths, QPointF start);

} // namespace ktbench

#endif // QUADRATICORDER_H
