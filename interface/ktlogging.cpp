#include "ktlogging_p.h"

Q_LOGGING_CATEGORY(ktLink, "kt.link")
Q_LOGGING_CATEGORY(ktProperty, "kt.property")
Q_LOGGING_CATEGORY(ktCloud, "kt.cloud")
Q_LOGGING_CATEGORY(ktRv8, "kt.rv8")
