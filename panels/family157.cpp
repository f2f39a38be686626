// Family-157 base set and device information, and the plain driver that carries them.
#include "ktcommoninterface.h"
#include "propertytable_p.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace {

constexpr const char* Context = "KTCommonInterface";
using K = KTDeviceInterface;

const QJsonObject LineEdit{{"widget", "QLineEdit"}};
const QJsonObject Label{{"widget", "QLabel"}};

} // namespace

// A driver without a model of its own is a family-157 device.
KTDeviceInterface* KTCommonInterface::initInstance()
{
    auto* device = new KTCommonInterface(nullptr);
    init157(device);
    return device;
}

QStringList KTCommonInterface::userProperty()
{
    // "TOOL_SPACE" beside "CAMERA_OFFSET": both are head-offset groups in the same units,
    // calibrated together.
    return {"WORK_MODE", "SPEED", "PRESSURE", "CAMERA_OFFSET", "TOOL_SPACE", "SP1", "SP2"};
}

void KTCommonInterface::init157(KTDeviceInterface* device)
{
    // Copies, PLT job and QR-PLT job share code 1 and differ by kind; stop, pause and resume
    // share register 125 and differ by the value written.
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"STATUS", QT_TRANSLATE_NOOP("KTCommonInterface", "状态"), "", KTPlain, int(0), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"TCP_PORT", QT_TRANSLATE_NOOP("KTCommonInterface", "端口"), "", KTPlain, int(9100), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"CONNECT_MODE", QT_TRANSLATE_NOOP("KTCommonInterface", "连接方式"), "", KTPlain, QString(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"QRCODE_COPIES", QT_TRANSLATE_NOOP("KTCommonInterface", "份数"), QT_TRANSLATE_NOOP("KTCommonInterface", "份"), KTUnitTranslated, int(1), 54, 54, 1, K::CCMD, {}, {}, {}},
        {"QRCODE_FILE", QT_TRANSLATE_NOOP("KTCommonInterface", "二维码文件"), "", KTPlain, QString(), 55, 55, 1, K::CCMD, {}, {}, {}},
        {"TASK_COPIES", QT_TRANSLATE_NOOP("KTCommonInterface", "份数"), QT_TRANSLATE_NOOP("KTCommonInterface", "份"), KTUnitTranslated, int(1), 1, 1, 1, K::NUM, {}, {}, {}},
        {"TASK_PLT", QT_TRANSLATE_NOOP("KTCommonInterface", "plt"), "", KTPlain, QString(), 1, 1, 1, K::PLT, {}, {}, {}},
        {"TASK_STOP", QT_TRANSLATE_NOOP("KTCommonInterface", "停止"), "", KTPlain, int(2), 125, 125, 1, K::CMD, {}, {}, {}},
        {"TASK_PAUSE", QT_TRANSLATE_NOOP("KTCommonInterface", "暂停"), "", KTPlain, int(0), 125, 125, 1, K::CMD, {}, {}, {}},
        {"TASK_RESUME", QT_TRANSLATE_NOOP("KTCommonInterface", "继续"), "", KTPlain, int(1), 125, 125, 1, K::CMD, {}, {}, {}},
        {"QR_PLT", QT_TRANSLATE_NOOP("KTCommonInterface", "QR PLT"), "", KTPlain, QString(), 1, 1, 1, K::QRPLT, {}, {}, {}},
        {"FLAG_POINT", QT_TRANSLATE_NOOP("KTCommonInterface", "设原点"), "", KTPlain, int(1), 87, 87, 1, K::CMD, {}, {}, {}},
        {"BACK_FLAG_POINT", QT_TRANSLATE_NOOP("KTCommonInterface", "回原点"), "", KTPlain, int(1), 93, 93, 1, K::CMD, {}, {}, {}},
        {"TASK_MODE", QT_TRANSLATE_NOOP("KTCommonInterface", "任务模式"), "", KTPlain, int(0), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"LAST_TIME", "", "", KTCreationTime, QVariant(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"HEARTBEAT", QT_TRANSLATE_NOOP("KTCommonInterface", "心跳"), QT_TRANSLATE_NOOP("KTCommonInterface", "秒"), KTUnitTranslated, int(2), 1010, 1010, 1, K::CCMD, {}, {}, {}},
        {"FILE_PREVIEW", QT_TRANSLATE_NOOP("KTCommonInterface", "预览"), "", KTPlain, QByteArray(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"TASK_FILE_INFO", QT_TRANSLATE_NOOP("KTCommonInterface", "工作文件"), "", KTPlain, QJsonObject(), 0, 0, 0, K::UnCMD, {}, {}, {}},
        {"WORK_MODE", QT_TRANSLATE_NOOP("KTCommonInterface", "切割质量"), "", KTPlain, 0u, 27, 27, 1, K::CMD, {},
         {{"widget", "QComboBox"},
          {"option", QJsonArray{QT_TRANSLATE_NOOP("KTCommonInterface", "   速度优先"),
                                QT_TRANSLATE_NOOP("KTCommonInterface", "   平衡"),
                                QT_TRANSLATE_NOOP("KTCommonInterface", "   精度优先")}}}, {}},
        {"PU_SPEED", QT_TRANSLATE_NOOP("KTCommonInterface", "PU 速度"), "", KTPlain, 0u, 26, 26, 1, K::CMD, {},
         {{"widget", "QSpinBox"}, {"min", 10}, {"max", 700}}, {}},
        {"DEVICE_CLOUD", QT_TRANSLATE_NOOP("KTCommonInterface", "数据上传"), "", KTPlain, QJsonObject(), 0, 0, 0, K::UnCMD, {}, {}, {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// "DEVICE_INFO" reads six fields in one reply and hands them to its children in the order of
// its value list, finding them on itself; so they are attached in that order, and carry no
// get code of their own.
void KTCommonInterface::info_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"FIRMWARE", QT_TRANSLATE_NOOP("KTCommonInterface", "固件版本"), "", KTPlain, QString(), 0, 0, 1, K::CCMD, {}, LineEdit, {}},
        {"DEVICE_ID", QT_TRANSLATE_NOOP("KTCommonInterface", "机器编号"), "", KTPlain, QString(), 0, 44, 1, K::CCMD, {}, LineEdit, {}},
        {"PCB_ID", QT_TRANSLATE_NOOP("KTCommonInterface", "PCB编号"), "", KTPlain, QString(), 0, 46, 1, K::CCMD, {}, LineEdit, {}},
        {"PCB_VERSION", QT_TRANSLATE_NOOP("KTCommonInterface", "PCB版本"), "", KTPlain, QString(), 0, 48, 1, K::CCMD, {}, LineEdit, {}},
        {"DEVICE_CONFIG_NO", QT_TRANSLATE_NOOP("KTCommonInterface", "配置号"), "", KTPlain, QString(), 0, 0, 0, K::UnCMD, {}, Label, {}},
        {"DEVICE_UNIQUE_ID", QT_TRANSLATE_NOOP("KTCommonInterface", "Unique ID"), "", KTPlain, QString(), 57, 0, 1, K::CCMD, {}, Label, {}},
        {"DEVICE_MODEL", QT_TRANSLATE_NOOP("KTCommonInterface", "型号"), "", KTPlain, QString("KT-VT4410"), 0, 0, 0, K::UnCMD, {}, Label, {}},
        {"DEVICE_INFO", QT_TRANSLATE_NOOP("KTCommonInterface", "机器信息"), "", KTPlain,
         QStringList{"DEVICE_MODEL", "DEVICE_ID", "PCB_ID", "PCB_VERSION", "FIRMWARE", "DEVICE_CONFIG_NO"},
         2, 0, 1, K::CCMD, {}, {},
         {"DEVICE_MODEL", "DEVICE_ID", "PCB_ID", "PCB_VERSION", "FIRMWARE", "DEVICE_CONFIG_NO"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}
