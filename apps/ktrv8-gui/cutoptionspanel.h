#ifndef CUTOPTIONSPANEL_H
#define CUTOPTIONSPANEL_H

#include "conversion.h"
#include "cutoptions.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

// The cutter options of a drawing, with their units; every change asks for a new preview.
class CutOptionsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit CutOptionsPanel(QWidget* parent = nullptr);

    ktconv::CutOptions options() const;
    // How the drawing is read, as far as these options say: `base` with them set.
    ktconv::InputOptions input(ktconv::InputOptions base) const;
    // A conversion's refusal with how these options would let the drawing be cut.
    static QString explained(const QString& refusal);

signals:
    void changed();

private:
    QDoubleSpinBox* number(const char* name, double max, const QString& suffix, double step = 1.0);

    QDoubleSpinBox* scale = nullptr;
    QDoubleSpinBox* width = nullptr;
    QDoubleSpinBox* height = nullptr;
    QComboBox* rotate = nullptr;
    QCheckBox* mirror = nullptr;
    QDoubleSpinBox* originX = nullptr;
    QDoubleSpinBox* originY = nullptr;
    QDoubleSpinBox* weedBox = nullptr;
    QDoubleSpinBox* overcut = nullptr;
    QDoubleSpinBox* toolOffset = nullptr;
    QCheckBox* keepOrder = nullptr;
    QCheckBox* withoutMissing = nullptr; // text cut without the characters no font has
};

#endif // CUTOPTIONSPANEL_H
