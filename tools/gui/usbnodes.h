#ifndef USBNODES_H
#define USBNODES_H

#include <QStringList>

// Device nodes a USB cutter may appear as.
QStringList usbNodes();

#endif // USBNODES_H
