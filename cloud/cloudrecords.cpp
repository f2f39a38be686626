// PLACEHOLDER (cloud work replaces this file): device registration and work records.
#include "ktcommoninterface.h"

void KTCommonInterface::setNimbraCloud(NimbraCloud*, QString) {}
