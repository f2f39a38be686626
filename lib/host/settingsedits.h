#ifndef SETTINGSEDITS_H
#define SETTINGSEDITS_H

#include <QObject>
#include <QSet>
#include <QStringList>

class CutterConnection;
class SettingsAccess;
class QWidget;

// Which setting rows the user changed since they were last filled. Only those are written:
// an editor clamps a value it cannot show (or one never read), and Apply must not send that
// to the cutter on its own.
class SettingsEdits : public QObject
{
public:
    explicit SettingsEdits(QObject* parent = nullptr) : QObject(parent) {}

    // Watches the editors the property of key built inside row.
    void watch(QWidget* row, const QString& key);
    // Fills every row from its property; the rows count as unchanged afterwards.
    void fill(CutterConnection& link, const QStringList& keys);
    void clear() { edited.clear(); }
    bool isEdited(const QString& key) const { return edited.contains(key); }

    // Takes the edited rows among keys into their properties and gives those whose value
    // changed.
    QStringList take(CutterConnection& link, const SettingsAccess& settings, const QStringList& keys);

private:
    QSet<QString> edited;
    bool filling = false;
};

#endif // SETTINGSEDITS_H
