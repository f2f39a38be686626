#ifndef CLOUDCOMMANDS_H
#define CLOUDCOMMANDS_H

#include "cloudreport.h"

#include <functional>

class CutterConnection;
class PreparedJob;
class Output;

// Runs a cut job, reported to the fleet service when options are set; job: the prepared
// job whose measures the work record carries (none for a QR-code job).
int runReported(CutterConnection& link, PreparedJob* job, const CloudOptions& options, const Output& out,
                const std::function<int()>& run);

// ktrv8 cloud-status: what the fleet service knows of each device and its work records.
int commandCloudStatus(const CloudOptions& options, const Output& out);

#endif // CLOUDCOMMANDS_H
