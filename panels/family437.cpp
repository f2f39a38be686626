// Family-437 parameter set: base settings, device information and the two-axis groups.
#include "ktcommoninterface.h"
#include "propertytable_p.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace {

constexpr const char* Context = "KTCommonInterface";
using K = KTDeviceInterface;

QJsonObject doubleSpin(double min, double max)
{
    return {{"widget", "QDoubleSpinBox"}, {"min", min}, {"max", max}};
}

const QJsonObject LineEdit{{"widget", "QLineEdit"}};
const QJsonObject GroupBox{{"widget", "QGroupBox"}};

} // namespace

void KTCommonInterface::init437(KTDeviceInterface* device)
{
    // The three task-control rows share code 27; the value is what their set command carries.
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"STATUS", QT_TRANSLATE_NOOP("KTCommonInterface", "状态"), "", KTPlain, int(0), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"DEVICE_STATUS", QT_TRANSLATE_NOOP("KTCommonInterface", "电机状态"), "", KTPlain, QString(), 4, 0, 1, K::CCMD, {}, {}, {}},
        {"TCP_PORT", QT_TRANSLATE_NOOP("KTCommonInterface", "端口"), "", KTPlain, int(9100), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"FILE_PREVIEW", QT_TRANSLATE_NOOP("KTCommonInterface", "预览"), "", KTPlain, QByteArray(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"TASK_FILE_INFO", QT_TRANSLATE_NOOP("KTCommonInterface", "工作文件"), "", KTPlain, QJsonObject(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"GET_QRCODE", QT_TRANSLATE_NOOP("KTCommonInterface", "获取二维码"), "", KTPlain, QVariant(), 11, 0, 1, K::CCMD, {}, {}, {}},
        {"QRCODE_FILE", QT_TRANSLATE_NOOP("KTCommonInterface", "二维码文件"), "", KTPlain, QString(), 55, 55, 1, K::CCMD, {}, {}, {}},
        {"TASK_COPIES", QT_TRANSLATE_NOOP("KTCommonInterface", "份数"), QT_TRANSLATE_NOOP("KTCommonInterface", "份"), KTUnitTranslated, int(1), 30, 30, 1, K::CCMD, {}, {}, {}},
        {"TASK_PPLT", QT_TRANSLATE_NOOP("KTCommonInterface", "pplt"), "", KTPlain, QString(), 0, 1, 1, K::PPLT, {}, {}, {}},
        {"TASK_STOP", QT_TRANSLATE_NOOP("KTCommonInterface", "停止"), "", KTPlain, int(2), 27, 27, 1, K::CCMD, {}, {}, {}},
        {"TASK_PAUSE", QT_TRANSLATE_NOOP("KTCommonInterface", "暂停"), "", KTPlain, int(0), 27, 27, 1, K::CCMD, {}, {}, {}},
        {"TASK_RESUME", QT_TRANSLATE_NOOP("KTCommonInterface", "继续"), "", KTPlain, int(1), 27, 27, 1, K::CCMD, {}, {}, {}},
        {"TASK_MODE", QT_TRANSLATE_NOOP("KTCommonInterface", "任务模式"), "", KTPlain, int(0), 32, 32, 1, K::CCMD, {}, {}, {}},
        {"LAST_TIME", "", "", KTCreationTime, QVariant(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"CONNECT_MODE", QT_TRANSLATE_NOOP("KTCommonInterface", "连接方式"), "", KTPlain, QString(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"DEVICE_CLOUD", QT_TRANSLATE_NOOP("KTCommonInterface", "数据上传"), "", KTPlain, QJsonObject(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"WORK_MODE", QT_TRANSLATE_NOOP("KTCommonInterface", "切割质量"), "", KTPlain, 0u, 64, 23, 1, K::CCMD, {},
         {{"widget", "QComboBox"},
          {"option", QJsonArray{QT_TRANSLATE_NOOP("KTCommonInterface", "   速度优先"), QT_TRANSLATE_NOOP("KTCommonInterface", "   平衡"), QT_TRANSLATE_NOOP("KTCommonInterface", "   精度优先")}}}, {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

void KTCommonInterface::info_437(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"FIRMWARE", QT_TRANSLATE_NOOP("KTCommonInterface", "固件版本"), "", KTPlain, QString(), 51, 0, 1, K::CCMD, {}, LineEdit, {}},
        {"DEVICE_ID", QT_TRANSLATE_NOOP("KTCommonInterface", "机器编号"), "", KTPlain, QString(), 45, 44, 1, K::CCMD, {}, LineEdit, {}},
        {"PCB_ID", QT_TRANSLATE_NOOP("KTCommonInterface", "PCB编号"), "", KTPlain, QString(), 47, 46, 1, K::CCMD, {}, LineEdit, {}},
        {"PCB_VERSION", QT_TRANSLATE_NOOP("KTCommonInterface", "PCB版本"), "", KTPlain, QString(), 49, 48, 1, K::CCMD, {}, LineEdit, {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// Compound group: one CCMD command carries both axes, found by key on the group itself.
void KTCommonInterface::camera_offset_437(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"CAMERA_OFFSET_X", QT_TRANSLATE_NOOP("KTCommonInterface", "x"), "", KTPlain, 0.0, 0, 0, 0, K::UnCMD, {}, doubleSpin(-1000.0, 1000.0), {}},
        {"CAMERA_OFFSET_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "y"), "", KTPlain, 0.0, 0, 0, 0, K::UnCMD, {}, doubleSpin(-1000.0, 1000.0), {}},
        {"CAMERA_OFFSET", QT_TRANSLATE_NOOP("KTCommonInterface", "摄像头偏移"), "(mm x mm)", KTPlain,
         QStringList{"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}, 16, 15, 1, K::CCMD, {}, GroupBox,
         {"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// The axes carry their own commands; the group only lays them out.
void KTCommonInterface::scale_437(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"SCALE_X", QT_TRANSLATE_NOOP("KTCommonInterface", "x"), "", KTPlain, 1.0, 61, 20, 1, K::CCMD, {}, doubleSpin(0, 200), {}},
        {"SCALE_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "y"), "", KTPlain, 1.0, 62, 21, 1, K::CCMD, {}, doubleSpin(0, 200), {}},
        {"SCALE", QT_TRANSLATE_NOOP("KTCommonInterface", "缩放"), "", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {}, GroupBox,
         {"SCALE_X", "SCALE_Y"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

void KTCommonInterface::work_area_437(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"WORKAREA_X", QT_TRANSLATE_NOOP("KTCommonInterface", "x"), "", KTPlain, 0.0, 0, 0, 0, K::UnCMD, {}, doubleSpin(10, 10000), {}},
        {"WORKAREA_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "y"), "", KTPlain, 0.0, 0, 0, 0, K::UnCMD, {}, doubleSpin(10, 10000), {}},
        {"WORKAREA", QT_TRANSLATE_NOOP("KTCommonInterface", "幅宽"), "(mm x mm)", KTPlain, QStringList{"WORKAREA_X", "WORKAREA_Y"}, 63, 22,
         1, K::CCMD, {}, GroupBox, {"WORKAREA_X", "WORKAREA_Y"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}
