#ifndef SETTINGSPANEL_H
#define SETTINGSPANEL_H

#include <QHash>
#include <QSet>
#include <QWidget>

class CutterConnection;
class SettingsEdits;
struct SettingsReport;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The device's settings and information, each row built by its property. Read asks the
// cutter; Apply writes what was changed, reads it back and says per setting what the
// cutter did not take.
class SettingsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPanel(QWidget* parent = nullptr);

    // Builds the rows of the link's current device (again after a new device object).
    void build(CutterConnection* link);
    void setConnected(bool connected);
    // The note shown beside a setting ("" when all is well).
    QString note(const QString& key) const;
    // Whether Apply is refused because a row holds a number outside its range.
    bool refusesApply() const { return !outOfRange.isEmpty(); }

public slots:
    void read();
    void apply();

signals:
    void busyChanged(bool busy);
    void report(const QString& text, bool problem);

private:
    QWidget* section(const QString& title);
    void buildRows(QWidget* section, const QStringList& keys, bool editable);
    bool readKeys(const QStringList& keys, QStringList* unanswered);
    void showValues();
    void setNote(const QString& key, const QString& text);
    void setBusy(bool busy);
    void noteOutcomes(const SettingsReport& report, const QStringList& keys);
    void watchRanges(QWidget* holder, const QString& key);
    void checkRanges();
    void updateButtons();

    CutterConnection* link = nullptr;
    QWidget* content = nullptr;
    QVBoxLayout* contentLayout = nullptr;
    QPushButton* readButton = nullptr;
    QPushButton* applyButton = nullptr;
    QStringList userRows;
    QStringList systemRows;
    QHash<QString, QLabel*> notes;
    QHash<QString, QWidget*> holders;
    QSet<QString> outOfRange; // rows holding a number typed outside their range
    SettingsEdits* edits = nullptr;
    bool connected = false;
    bool busy = false;
};

#endif // SETTINGSPANEL_H
