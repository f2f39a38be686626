#include "ktrv8.h"
#include "ktdeviceproperty.h"
#include "ktrv8_p.h"
#include "kttaskrecord_p.h"
#include "preparedpage_p.h"
#include "propertytable_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#if defined(Q_OS_UNIX)
#include <dlfcn.h>
#endif

namespace {

const char* const Context = "KTRV8";

using T = KTDeviceInterface;

QJsonObject doubleSpin(double min, double max)
{
    return {{"widget", "QDoubleSpinBox"}, {"min", min}, {"max", max}};
}

QJsonObject spin(int min, int max)
{
    return {{"widget", "QSpinBox"}, {"min", min}, {"max", max}};
}

QJsonObject widget(const char* kind)
{
    return {{"widget", kind}};
}

QVariant nothing()
{
    return QVariant();
}

// The scale group: each axis has its own commands, the group only lays them out.
void buildScale(KTDeviceInterface* device)
{
    // clang-format off
    const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"SCALE_X", QT_TRANSLATE_NOOP("KTRV8", "x"), "", KTPlain, 1.0, 61, 20, 1, T::CCMD, {},
         doubleSpin(99.0, 100.99), {}},
        {"SCALE_Y", QT_TRANSLATE_NOOP("KTRV8", "y"), "", KTPlain, 1.0, 62, 21, 1, T::CCMD, {},
         doubleSpin(99.0, 100.99), {}},
        {"SCALE", QT_TRANSLATE_NOOP("KTRV8", "缩放"), "", KTPlain, nothing(), 0, 0, 0, T::UnCMD,
         {}, widget("QGroupBox"), {"SCALE_X", "SCALE_Y"}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

void buildTask(KTDeviceInterface* device)
{
    // clang-format off
    const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"TASK", QT_TRANSLATE_NOOP("KTRV8", "当前任务"), "", KTPlain, KTTaskRecord::idle(), 0, 0, 0,
         T::UnCMD, {}, {}, {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

// The camera offset is one compound command carrying both axes; the axes have none.
void buildCameraAndMotion(KTDeviceInterface* device)
{
    const QStringList offsetKeys{QStringLiteral("CAMERA_OFFSET_X"), QStringLiteral("CAMERA_OFFSET_Y")};
    const QStringList zero{QStringLiteral("0")};
    // clang-format off
    const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"CAMERA_OFFSET_X", QT_TRANSLATE_NOOP("KTRV8", "x"), "", KTPlain, 0.0, 0, 0, 0, T::UnCMD,
         {}, doubleSpin(-2.0, 2.0), {}},
        {"CAMERA_OFFSET_Y", QT_TRANSLATE_NOOP("KTRV8", "y"), "", KTPlain, 0.0, 0, 0, 0, T::UnCMD,
         {}, doubleSpin(-22.0, -18.0), {}},
        {"CAMERA_OFFSET", QT_TRANSLATE_NOOP("KTRV8", "摄像头偏移"), "(mm x mm)", KTWidgetAfterChildren,
         offsetKeys, 18, 17, 1, T::CCMD, {}, widget("QGroupBox"),
         {"CAMERA_OFFSET_X", "CAMERA_OFFSET_Y"}},
        {"SPEED", QT_TRANSLATE_NOOP("KTRV8", "速度"), "(mm/s)", KTPlain, 0u, 7, 6, 1, T::CCMD, zero,
         spin(10, 300), {}},
        {"MARGIN", QT_TRANSLATE_NOOP("KTRV8", "单张多份间隔"), "(mm)", KTPlain, 0u, 1002, 1003, 1,
         T::CCMD, {}, spin(20, 200), {}},
        {"PRESSURE", QT_TRANSLATE_NOOP("KTRV8", "压力"), "(gf)", KTPlain, 0u, 9, 8, 1, T::CCMD, zero,
         spin(0, 900), {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

void buildModelAndCommands(KTDeviceInterface* device)
{
    const QString modelName = QString::fromUtf8(QT_TRANSLATE_NOOP("KTRV8", "迷你刻字机"));
    // clang-format off
    const KTPropertyRow rows[] = {
        // key, label, unit, flags, initial, get, set, length, kind, param, widget, children
        {"DEVICE_MODEL", QT_TRANSLATE_NOOP("KTRV8", "型号"), "", KTPlain, QStringLiteral("KT-RV8"),
         0, 0, 0, T::UnCMD, {}, widget("QLabel"), {}},
        {"DEVICE_MODEL_NAME", QT_TRANSLATE_NOOP("KTRV8", "名称"), "", KTValueTranslated, modelName,
         0, 0, 0, T::UnCMD, {}, widget("QLabel"), {}},
        {"MOVE", QT_TRANSLATE_NOOP("KTRV8", "移动"), "", KTPlain, QString(""), 0, 65, 1, T::CCMD, {},
         {}, {}},
        {"TASK_REPEAT", QT_TRANSLATE_NOOP("KTRV8", "重复上次"), "", KTPlain, 1, 0, 30, 1, T::CCMD,
         {}, {}, {}},
        {"SET_WIFI", QT_TRANSLATE_NOOP("KTRV8", "设置WIFI"), "", KTPlain, 1, 0, 0, 1, T::CCMD, {},
         {}, {}},
        {"SET_MARK", QT_TRANSLATE_NOOP("KTRV8", "设置标记点类型"), "", KTPlain, 1, 0, 1000, 1,
         T::CCMD, {}, {}, {}},
    };
    // clang-format on
    kt_build_properties(device, Context, rows);
}

} // namespace

KTRV8::KTRV8(QObject* parent) : KTCommonInterface(parent), jobPages(std::make_unique<KTJobPages>())
{
    loadTranslation();
}

KTRV8::~KTRV8()
{
    jobPages->clear();
}

#ifndef KTRV8_TRANSLATIONS_FROM_PLUGIN
#define KTRV8_TRANSLATIONS_FROM_PLUGIN "../../share/kt-rv8/translations"
#endif

namespace {

// An installed plug-in keeps its translations in a data folder found from the library's
// own file, wherever the host executable lives.
QString translationsFromPlugin()
{
#if defined(Q_OS_UNIX)
    static const char anchor = 0;
    Dl_info info = {};
    if (::dladdr(&anchor, &info) != 0 && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname))
            .absoluteDir()
            .filePath(QStringLiteral(KTRV8_TRANSLATIONS_FROM_PLUGIN));
#endif
    return QString();
}

} // namespace

// A missing file leaves the Chinese source texts in place.
void KTRV8::loadTranslation()
{
    const QString file = QStringLiteral("KT-RV8_%1.qm").arg(language);
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    if (!translator.load(file, folder)) {
        const QString installed = translationsFromPlugin();
        if (!installed.isEmpty())
            translator.load(file, installed);
    }
    QCoreApplication::installTranslator(&translator);
}

KTDeviceInterface* KTRV8::initInstance()
{
    auto* device = new KTRV8(nullptr);
    buildScale(device);
    init437(device);
    buildTask(device);
    buildCameraAndMotion(device);
    info_437(device);
    buildModelAndCommands(device);
    return device;
}

QStringList KTRV8::userProperty()
{
    return {QStringLiteral("WORK_MODE"), QStringLiteral("PRESSURE"),      QStringLiteral("SPEED"),
            QStringLiteral("SCALE"),     QStringLiteral("CAMERA_OFFSET"), QStringLiteral("MARGIN")};
}

QStringList KTRV8::sysProperty()
{
    return {QStringLiteral("DEVICE_MODEL_NAME"), QStringLiteral("DEVICE_INFO"), QStringLiteral("FIRMWARE"),
            QStringLiteral("DEVICE_ID"),         QStringLiteral("PCB_ID"),      QStringLiteral("PCB_VERSION")};
}

// 0xE626, a code point of Unicode's private-use area, where icon fonts keep their glyphs:
// the host draws the device's icon from its icon font by this number.
int KTRV8::icon()
{
    return 0xE626;
}
