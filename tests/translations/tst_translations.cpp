// The RV8 translations: the shipped .ts files are complete and match the sources, and a
// device built under a given system locale shows its captions in that language, taken from
// the compiled files in "translations" beside the application.
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "ktrv8.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

namespace {

struct Entry
{
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

bool readTs(const QString& path, QString& language, QList<Entry>& entries)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("TS")) {
            language = xml.attributes().value(QLatin1String("language")).toString();
        } else if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entry = Entry{context, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entry.type = xml.attributes().value(QLatin1String("type")).toString();
            // A plural text holds its forms as child elements.
            entry.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            entries << entry;
        }
    }
    return !xml.hasError();
}

QString sourceDir()
{
    return QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR"));
}

QString tsPath(const QString& language)
{
    return sourceDir() + QStringLiteral("/rv8/translations/KT-RV8_%1.ts").arg(language);
}

// The window's own texts, translated beside the plug-in's.
QString windowTsPath(const QString& language)
{
    return sourceDir() + QStringLiteral("/apps/ktrv8-gui/translations/ktrv8-gui_%1.ts").arg(language);
}

// The %1, %2 ... a text is filled in with: a translation must keep every one.
QStringList markers(const QString& text)
{
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("%\\d")).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured();
    found.sort();
    return found;
}

QSet<QString> keysOf(const QList<Entry>& entries)
{
    QSet<QString> keys;
    for (const Entry& e : entries)
        keys.insert(e.context + QLatin1Char('|') + e.source);
    return keys;
}

int leadingBlanks(const QString& text)
{
    int n = 0;
    while (n < text.size() && text.at(n) == QLatin1Char(' '))
        ++n;
    return n;
}

struct Caption
{
    const char* key;
    const char* what; // "label", "unit", "value" or "option"
    const char* source;
    const char* english;
    const char* japanese;
};

// Captions of both translation contexts as the user sees them on an RV8 device.
const Caption Captions[] = {
    // key, what, source, English, Japanese
    {"SPEED", "label", "速度", "Speed", "速度"},
    {"MARGIN", "label", "单张多份间隔", "Spacing between copies", "コピー間の間隔"},
    {"SCALE", "label", "缩放", "Scale", "スケール"},
    {"CAMERA_OFFSET", "label", "摄像头偏移", "Camera offset", "カメラオフセット"},
    {"TASK", "label", "当前任务", "Current task", "現在のタスク"},
    {"SET_MARK", "label", "设置标记点类型", "Set registration mark type", "トンボの種類を設定"},
    {"DEVICE_MODEL_NAME", "value", "迷你刻字机", "Mini lettering cutter", "ミニ文字カッター"},
    {"DEVICE_MODEL", "value", "KT-RV8", "KT-RV8", "KT-RV8"},
    {"WORK_MODE", "label", "切割质量", "Cut quality", "カット品質"},
    {"WORK_MODE", "option", "   速度优先;   平衡;   精度优先", "   Speed first;   Balanced;   Precision first",
     "   速度優先;   バランス;   精度優先"},
    {"TASK_COPIES", "unit", "份", "copies", "部"},
    {"FIRMWARE", "label", "固件版本", "Firmware version", "ファームウェアバージョン"},
    {"PCB_VERSION", "label", "PCB版本", "PCB version", "PCBバージョン"},
    {"LAST_TIME", "label", "", "", ""},
};

QString shown(KTDeviceProperty* p, const QByteArray& what)
{
    if (what == "label")
        return p->label();
    if (what == "unit")
        return p->uint();
    if (what == "value")
        return p->value().toString();
    return p->property("WIDGET").toJsonObject().value(QStringLiteral("option")).toString();
}

} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT
private slots:
    void tsFilesComplete_data();
    void tsFilesComplete();
    void tsFilesMatchSources_data();
    void tsFilesMatchSources();
    void localeChoosesLanguage();
    void captionsTranslated_data();
    void captionsTranslated();
};

void tst_Translations::tsFilesComplete_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("other"); // the same texts in another language
    QTest::addColumn<QStringList>("contexts");
    const QStringList plugin{QStringLiteral("KTCommonInterface"), QStringLiteral("KTRV8")};
    const QStringList window{QStringLiteral("MainWindow"), QStringLiteral("JobSummary"),
                             QStringLiteral("HeadPanel"),  QStringLiteral("TextTool"),
                             QStringLiteral("SheetPanel"), QStringLiteral("DrawingPartsPanel")};
    QTest::newRow("English") << tsPath("en_US") << "en_US" << tsPath("ja_JP") << plugin;
    QTest::newRow("Japanese") << tsPath("ja_JP") << "ja_JP" << tsPath("en_US") << plugin;
    QTest::newRow("window, Japanese") << windowTsPath("ja_JP") << "ja_JP" << windowTsPath("zh_CN") << window;
    QTest::newRow("window, Chinese") << windowTsPath("zh_CN") << "zh_CN" << windowTsPath("ja_JP") << window;
}

void tst_Translations::tsFilesComplete()
{
    QFETCH(QString, file);
    QFETCH(QString, language);
    QFETCH(QString, other);
    QFETCH(QStringList, contexts);
    QString declared;
    QList<Entry> entries;
    QVERIFY2(readTs(file, declared, entries), qPrintable(file));
    QCOMPARE(declared, language);
    QSet<QString> found;
    for (const Entry& e : entries) {
        const QString where = e.context + QStringLiteral(": \"") + e.source + QLatin1Char('"');
        QVERIFY2(e.type.isEmpty(), qPrintable(where + QStringLiteral(" is ") + e.type));
        QVERIFY2(!e.translation.trimmed().isEmpty(), qPrintable(where + QStringLiteral(" has no translation")));
        // Combo items are indented with blanks; the translation keeps the indentation.
        QVERIFY2(leadingBlanks(e.translation) == leadingBlanks(e.source), qPrintable(where));
        QVERIFY2(markers(e.translation) == markers(e.source), qPrintable(where + QStringLiteral(" loses a %N")));
        found.insert(e.context);
    }
    for (const QString& context : contexts)
        QVERIFY2(found.contains(context), qPrintable(context));

    // Both languages cover the same texts.
    QString otherLanguage;
    QList<Entry> otherEntries;
    QVERIFY(readTs(other, otherLanguage, otherEntries));
    QCOMPARE(keysOf(entries), keysOf(otherEntries));
}

void tst_Translations::tsFilesMatchSources_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("shipped");
    QTest::newRow("plug-in") << QStringList{"interface", "property", "link", "panels", "cloud", "rv8"}
                             << tsPath("en_US");
    QTest::newRow("window") << QStringList{"apps/ktrv8-gui"} << windowTsPath("ja_JP");
}

// Every translatable text in the sources has an entry, and no entry is left over.
void tst_Translations::tsFilesMatchSources()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, shipped);
    const QString lupdate = QStandardPaths::findExecutable(QStringLiteral("lupdate"));
    if (lupdate.isEmpty())
        QSKIP("lupdate is not installed");
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString fresh = scratch.filePath(QStringLiteral("KT-RV8_en_US.ts"));
    QProcess run;
    run.setWorkingDirectory(sourceDir());
    run.start(lupdate, QStringList{"-silent", "-no-obsolete"} + folders + QStringList{"-ts", fresh});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 0);
    QString language;
    QList<Entry> expected, entries;
    QVERIFY(readTs(fresh, language, expected));
    QVERIFY(readTs(shipped, language, entries));
    QVERIFY(expected.size() > 0);
    const QSet<QString> missing = keysOf(expected) - keysOf(entries);
    const QSet<QString> leftOver = keysOf(entries) - keysOf(expected);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringList(missing.values()).join(QLatin1String(", "))));
    QVERIFY2(leftOver.isEmpty(), qPrintable(QStringList(leftOver.values()).join(QLatin1String(", "))));
}

void tst_Translations::localeChoosesLanguage()
{
    const QByteArray expected = qgetenv("KT_EXPECT_LOCALE");
    if (!expected.isEmpty())
        QCOMPARE(QLocale::system().name(), QString::fromLatin1(expected));
    // The files are looked up beside the application, where the build puts them.
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    QCOMPARE(QFileInfo(folder).canonicalFilePath(),
             QFileInfo(QString::fromLocal8Bit(qgetenv("KT_BUILD_BIN")) + QStringLiteral("/translations"))
                 .canonicalFilePath());
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/KT-RV8_en_US.qm")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/KT-RV8_ja_JP.qm")));
}

void tst_Translations::captionsTranslated_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("what");
    QTest::addColumn<QString>("expected");
    const QString language = KTCommonInterfacePrivate::languageForLocale(QLocale::system().name());
    for (const Caption& c : Captions) {
        const char* text = language == QLatin1String("ja_JP")   ? c.japanese
                           : language == QLatin1String("en_US") ? c.english
                                                                : c.source;
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(c.key, c.what)))
            << QString::fromLatin1(c.key) << QByteArray(c.what) << QString::fromUtf8(text);
    }
}

void tst_Translations::captionsTranslated()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, what);
    QFETCH(QString, expected);
    KTRV8 factory;
    std::unique_ptr<KTDeviceInterface> device(factory.initInstance());
    KTDeviceProperty* p = device->property_ptr(key.toLatin1().constData());
    QVERIFY(p);
    QCOMPARE(shown(p, what), expected);
}

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
