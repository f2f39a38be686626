#ifndef KTDEVICEINTERFACE_P_H
#define KTDEVICEINTERFACE_P_H

#include "ktglobal.h"

#include <QString>

// The compiler's build date ("Jun 27 2025", "Jun  7 2025") as "yyyy - MM - dd"; empty when it
// is in neither form. Exported for the tests, which feed it dates the compiler never gives.
KTRV8_EXPORT QString kt_format_build_date(const QString& compilerDate);

#endif // KTDEVICEINTERFACE_P_H
