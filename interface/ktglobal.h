#ifndef KTGLOBAL_H
#define KTGLOBAL_H

#include <QtCore/qglobal.h>

// The plug-in is one shared library that the host both loads as a plug-in and links
// against; only the classes the host calls directly are exported.
#if defined(KTRV8_LIBRARY)
#define KTRV8_EXPORT Q_DECL_EXPORT
#else
#define KTRV8_EXPORT Q_DECL_IMPORT
#endif

#endif // KTGLOBAL_H
