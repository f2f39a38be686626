// PLACEHOLDER (RV8 work replaces this file): the RV8 device and its parameter set.
#include "ktrv8.h"

KTRV8::KTRV8(QObject* parent) : KTCommonInterface(parent) {}
KTRV8::~KTRV8() {}
KTDeviceInterface* KTRV8::initInstance() { return new KTRV8(nullptr); }
QStringList KTRV8::userProperty() { return {}; }
QStringList KTRV8::sysProperty() { return {}; }
int KTRV8::icon() { return 58918; }
