#include "materialdefaults.h"

#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString Group = QStringLiteral("material");
const QString AnyCutter = QStringLiteral("any");

// Beside the window's own settings, in the user's configuration folder.
QSettings& settings()
{
    static QSettings file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                              + QStringLiteral("/kt-rv8/ktrv8.ini"),
                          QSettings::IniFormat);
    return file;
}

// A path has slashes, which QSettings takes as groups.
QString key(const QString& cutter)
{
    return Group + QLatin1Char('/')
           + (cutter.isEmpty() ? AnyCutter : QString::fromLatin1(QUrl::toPercentEncoding(cutter)));
}

} // namespace

ktconv::Material MaterialDefaults::load(const QString& cutter)
{
    QSettings& file = settings();
    file.sync();
    QString text = file.value(key(cutter)).toString();
    if (text.isEmpty())
        text = file.value(key(QString())).toString();
    ktconv::Material material;
    QString ignored;
    if (!text.isEmpty() && !ktconv::parseMaterial(text, &material, &ignored))
        return ktconv::Material();
    return material;
}

bool MaterialDefaults::save(const QString& cutter, const ktconv::Material& material, QString* error)
{
    QSettings& file = settings();
    if (material.known()) {
        file.setValue(key(cutter), material.lengthMm > 0
                                       ? QStringLiteral("%1x%2").arg(material.widthMm).arg(material.lengthMm)
                                       : QString::number(material.widthMm));
    } else {
        file.remove(key(cutter));
    }
    file.sync();
    if (file.status() != QSettings::NoError) {
        *error = QStringLiteral("cannot write the settings file %1").arg(file.fileName());
        return false;
    }
    return true;
}
