// PLACEHOLDER (cloud work replaces this file): heartbeat and shared task operations.
#include "ktcommoninterface.h"

void KTCommonInterface::slot_device_timer() {}
void KTCommonInterface::startTask() {}
void KTCommonInterface::stopTask() {}
void KTCommonInterface::move(int, int) {}
