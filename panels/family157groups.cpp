// Family-157 grouped settings: feed, tool heads, offsets, scale, working area, jog axes.
// All are device registers; the widgets' factor converts device units to user units.
#include "ktcommoninterface.h"
#include "propertytable_p.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

constexpr const char* Context = "KTCommonInterface";
using K = KTDeviceInterface;

const QJsonObject GroupBox{{"widget", "QGroupBox"}};
const QJsonObject TabPage{{"widget", "QTabWidget"}};
const QJsonObject PlainSpin{{"widget", "QSpinBox"}};
const QJsonObject SpeedSpin{{"widget", "QSpinBox"}, {"min", 10}, {"max", 700}};
// A device pressure of 600 is 1900 gf.
const QJsonObject PressureSpin{{"widget", "QSpinBox"}, {"min", 0}, {"max", 1900}, {"factor", 19.0 / 6.0}};
const QJsonObject AngleSpin{{"widget", "QSpinBox"}, {"min", -360}, {"max", 360}};
// One device unit is 0.005 mm.
const QJsonObject OffsetSpin{{"widget", "QDoubleSpinBox"}, {"factor", 0.005}, {"min", -1000.0}, {"max", 1000.0}};
// A scale of 1.0 is 10000 device units.
const QJsonObject ScaleEdit{{"widget", "QLineEdit"}, {"factor", 0.0001}};
// A working width of 1 mm is 2 device units.
const QJsonObject WidthEdit{{"widget", "QLineEdit"}, {"factor", 0.5}};

} // namespace

// Feed speed is laid out before the air-pump delay although it is created after it.
void KTCommonInterface::feed_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"AUTO_FEED", QT_TRANSLATE_NOOP("KTCommonInterface", "自动送料"), "", KTPlain, 0u, 134, 134, 1, K::CMD, {},
         {{"widget", "QComboBox"},
          {"option", QJsonArray{QT_TRANSLATE_NOOP("KTCommonInterface", "   关"),
                                QT_TRANSLATE_NOOP("KTCommonInterface", "   开")}}}, {}},
        {"FEED_MODEL", QT_TRANSLATE_NOOP("KTCommonInterface", "送料模式"), "", KTPlain, 0u, 133, 133, 1, K::CMD, {},
         {{"widget", "QComboBox"},
          {"option", QJsonArray{QT_TRANSLATE_NOOP("KTCommonInterface", "   同步送料"),
                                QT_TRANSLATE_NOOP("KTCommonInterface", "   异步送料")}}}, {}},
        {"FEED_LENGTH", QT_TRANSLATE_NOOP("KTCommonInterface", "送料距离"), "mm", KTPlain, 0u, 135, 135, 1, K::CMD, {}, PlainSpin, {}},
        {"FEED_CENTER", QT_TRANSLATE_NOOP("KTCommonInterface", "横梁中心距离"), "mm", KTPlain, 0u, 136, 136, 1, K::CMD, {}, PlainSpin, {}},
        {"FAN_DELAY", QT_TRANSLATE_NOOP("KTCommonInterface", "气泵延时"), "ms", KTPlain, 0u, 137, 137, 1, K::CMD, {},
         {{"widget", "QSpinBox"}, {"min", 0}, {"max", 10000.0}}, {}},
        {"FEED_SPEED", QT_TRANSLATE_NOOP("KTCommonInterface", "送料速度"), "mm/s", KTPlain, 0u, 138, 138, 1, K::CMD, {}, PlainSpin, {}},
        {"FEED", QT_TRANSLATE_NOOP("KTCommonInterface", "送料"), "", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {}, TabPage,
         {"AUTO_FEED", "FEED_MODEL", "FEED_LENGTH", "FEED_CENTER", "FEED_SPEED", "FAN_DELAY"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

void KTCommonInterface::sp1_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"SP1_TOOL", QT_TRANSLATE_NOOP("KTCommonInterface", "工具类型"), "", KTPlain, 0u, 128, 128, 1, K::CMD, {},
         {{"widget", "QComboBox"},
          {"option", QJsonArray{QT_TRANSLATE_NOOP("KTCommonInterface", "  拖刀"),
                                QT_TRANSLATE_NOOP("KTCommonInterface", "  转刀")}}}, {}},
        {"SP1_SPEED", QT_TRANSLATE_NOOP("KTCommonInterface", "速度"), "(mm/s)", KTPlain, 0u, 1, 1, 1, K::CMD, {}, SpeedSpin, {}},
        {"SP1_PRESSURE", QT_TRANSLATE_NOOP("KTCommonInterface", "压力"), "(gf)", KTPlain, 0u, 2, 2, 1, K::CMD, {}, PressureSpin, {}},
        {"SP1_ANGLE", QT_TRANSLATE_NOOP("KTCommonInterface", "转刀校准"), "(°)", KTPlain, 0u, 131, 131, 1, K::CMD, {}, AngleSpin, {}},
        {"SP1", QT_TRANSLATE_NOOP("KTCommonInterface", "SP1"), "", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {}, TabPage,
         {"SP1_TOOL", "SP1_SPEED", "SP1_PRESSURE", "SP1_ANGLE"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// Head 2 creates its tool type after speed and pressure but lays it out first, as head 1.
void KTCommonInterface::sp2_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"SP2_SPEED", QT_TRANSLATE_NOOP("KTCommonInterface", "速度"), "(mm/s)", KTPlain, 0u, 3, 3, 1, K::CMD, {}, SpeedSpin, {}},
        {"SP2_PRESSURE", QT_TRANSLATE_NOOP("KTCommonInterface", "压力"), "(gf)", KTPlain, 0u, 4, 4, 1, K::CMD, {}, PressureSpin, {}},
        {"SP2_TOOL", QT_TRANSLATE_NOOP("KTCommonInterface", "工具类型"), "", KTPlain, 0u, 129, 129, 1, K::CMD, {},
         {{"widget", "QComboBox"},
          {"option", QJsonArray{QT_TRANSLATE_NOOP("KTCommonInterface", "拖刀"),
                                QT_TRANSLATE_NOOP("KTCommonInterface", "转刀")}}}, {}},
        {"SP2_ANGLE", QT_TRANSLATE_NOOP("KTCommonInterface", "转刀校准"), "(°)", KTPlain, 0u, 132, 132, 1, K::CMD, {}, AngleSpin, {}},
        {"SP2", QT_TRANSLATE_NOOP("KTCommonInterface", "SP2"), "", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {}, TabPage,
         {"SP2_TOOL", "SP2_SPEED", "SP2_PRESSURE", "SP2_ANGLE"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// Each axis spans three registers, read and written by one command.
void KTCommonInterface::tool_space_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"TOOL_SPACE_X", QT_TRANSLATE_NOOP("KTCommonInterface", "x"), "", KTPlain, 0u, 5, 5, 3, K::CMD, {}, OffsetSpin, {}},
        {"TOOL_SPACE_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "y"), "", KTPlain, 0u, 8, 8, 3, K::CMD, {}, OffsetSpin, {}},
        {"TOOL_SPACE", QT_TRANSLATE_NOOP("KTCommonInterface", "工具偏移"), "(mm x mm)", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {},
         GroupBox, {"TOOL_SPACE_X", "TOOL_SPACE_Y"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// The factory-settings command is write-only and belongs to no group.
void KTCommonInterface::camera_offset_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"CAMERA_OFFSET_X", QT_TRANSLATE_NOOP("KTCommonInterface", "x"), "", KTPlain, 0u, 11, 11, 3, K::CMD, {}, OffsetSpin, {}},
        {"CAMERA_OFFSET_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "y"), "", KTPlain, 0u, 14, 14, 3, K::CMD, {}, OffsetSpin, {}},
        {"CAMERA_OFFSET", QT_TRANSLATE_NOOP("KTCommonInterface", "摄像头偏移"), "(mm x mm)", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {},
         GroupBox, {"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}},
        {"FACTORY_SET", QT_TRANSLATE_NOOP("KTCommonInterface", "出厂设置"), "", KTPlain, int(0), 0, 67, 1, K::CCMD, {}, {}, {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

void KTCommonInterface::scale_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"SCALE_X", QT_TRANSLATE_NOOP("KTCommonInterface", "x"), "", KTPlain, 0u, 24, 24, 1, K::CMD, {}, ScaleEdit, {}},
        {"SCALE_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "y"), "", KTPlain, 0u, 25, 25, 1, K::CMD, {}, ScaleEdit, {}},
        {"SCALE", QT_TRANSLATE_NOOP("KTCommonInterface", "缩放"), "", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {}, GroupBox,
         {"SCALE_X", "SCALE_Y"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

void KTCommonInterface::work_area_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"WORKAREA_X", QT_TRANSLATE_NOOP("KTCommonInterface", "x"), "", KTPlain, 0u, 28, 28, 1, K::CMD, {}, WidthEdit, {}},
        {"WORKAREA_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "y"), "", KTPlain, 0u, 29, 29, 1, K::CMD, {}, WidthEdit, {}},
        {"WORKAREA", QT_TRANSLATE_NOOP("KTCommonInterface", "幅宽"), "(mm x mm)", KTPlain, QVariant(), 0, 0, 0, K::UnCMD, {},
         GroupBox, {"WORKAREA_X", "WORKAREA_Y"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// The shared move operation sets and sends these; they get no widget.
void KTCommonInterface::move_157(KTDeviceInterface* device)
{
    // clang-format off
    static const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"MOVE_X", QT_TRANSLATE_NOOP("KTCommonInterface", "X 移动"), "", KTPlain, int(0), 82, 82, 1, K::CMD, {}, {}, {}},
        {"MOVE_Y", QT_TRANSLATE_NOOP("KTCommonInterface", "Y 移动"), "", KTPlain, int(0), 83, 83, 1, K::CMD, {}, {}, {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}
