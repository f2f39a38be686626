#ifndef CUTOPTIONSPANEL_H
#define CUTOPTIONSPANEL_H

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
};

#endif // CUTOPTIONSPANEL_H
