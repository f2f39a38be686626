// PLACEHOLDER (device-link work replaces this file): cutting and dispatching replies.
#include "ktcommoninterface.h"

void KTCommonInterface::decode_cmd(QString) {}
