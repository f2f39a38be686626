#ifndef SHEETPANEL_H
#define SHEETPANEL_H

#include "designsheet.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

// The material the job is cut on and how its designs share it: the material's width and
// length (none, a roll, or a sheet), either the one the cutter has loaded (as "ktrv8" takes
// it from the settings file) or one typed in; whether a job too big for it is scaled down;
// how many of each design, in rows or nested, how far apart.
class SheetPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SheetPanel(QWidget* parent = nullptr);

    ktconv::SheetOptions options() const;
    // The cutter the job goes to (Address::cutterKey(); empty: any): its loaded
    // material is the one used while "the cutter's material" is on.
    void setCutter(const QString& name);
    QString cutter() const { return cutterName; }

signals:
    void changed();
    void report(const QString& text, bool problem);

private:
    void showCutterMaterial();
    void keepForCutter();

    QCheckBox* cutterBox = nullptr;
    QDoubleSpinBox* widthBox = nullptr;
    QDoubleSpinBox* lengthBox = nullptr;
    QCheckBox* fitBox = nullptr;
    QSpinBox* repeatBox = nullptr;
    QComboBox* arrangeBox = nullptr;
    QDoubleSpinBox* gapBox = nullptr;
    QString cutterName;
};

#endif // SHEETPANEL_H
