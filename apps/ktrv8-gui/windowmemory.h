#ifndef WINDOWMEMORY_H
#define WINDOWMEMORY_H

#include <QString>

class MainWindow;
class QSettings;

// What the window had when it was closed, given back at the next launch: the cutter's
// address, the fleet fields, the copies, every cutter option and the window's size.
// The fleet token goes to the user's keyring where one answers, otherwise to a file
// only its owner may read; it never goes into the settings file.
class WindowMemory
{
public:
    // folder holds the token file when no keyring takes it.
    WindowMemory(QSettings& settings, const QString& folder);

    void restore(MainWindow& window);
    void save(const MainWindow& window);

    // Where the token was kept on the last save: "keyring" or the file's path.
    QString tokenPlace() const { return place; }

    // The settings file and folder of an interactive window.
    static QString defaultFolder();

private:
    QByteArray readToken();
    void writeToken(const QByteArray& token);
    QString tokenFile() const;

    QSettings& settings;
    QString folder;
    QString place;
};

#endif // WINDOWMEMORY_H
