// PLACEHOLDER (panels work replaces this file): the family-157 base set.
#include "ktcommoninterface.h"

KTDeviceInterface* KTCommonInterface::initInstance() { return new KTCommonInterface(nullptr); }
QStringList KTCommonInterface::userProperty() { return {}; }
