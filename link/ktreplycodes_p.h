#ifndef KTREPLYCODES_P_H
#define KTREPLYCODES_P_H

// Function codes of the cutter's replies that the driver acts on by number. Every other reply
// is routed to the property whose read or write code it carries.
namespace KTReplyCode {

enum Code : int {
    DeviceStatus = 4,     // read code of DEVICE_STATUS: the cutter is ready for the next page
    QrCodeScanned = 11,   // read code of GET_QRCODE: the code the camera read
    TaskControl437 = 27,  // TASK_STOP, TASK_PAUSE and TASK_RESUME of family 437 (CCMD)
    QrCodeFile = 55,      // QRCODE_FILE: the job file named by a scanned code
    TaskReport = 66,      // the cutter's report of the task it runs
    TaskControl157 = 125, // the same three commands in family 157 (CMD)
    DeviceStopped = 1001, // the cutter ended the job by itself (its own stop key)
};

// The value a task-control command carries, and its reply repeats.
enum TaskControlValue : int {
    Paused = 0,
    Resumed = 1,
    Stopped = 2
};

// Fields of a task report: code, status, file name, copies ordered, copies done, percent,
// and three more the driver does not read.
constexpr int TaskReportFields = 9;

} // namespace KTReplyCode

#endif // KTREPLYCODES_P_H
