#ifndef DRAWINGPARTSPANEL_H
#define DRAWINGPARTSPANEL_H

#include "conversion.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QSlider;
class QVBoxLayout;

// How a drawing is read before the cutter options apply: a picture's trace threshold (a
// slider that traces again when let go, or automatic), and the layers and colours of a
// drawing as check boxes, all checked when it is opened.
class DrawingPartsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit DrawingPartsPanel(QWidget* parent = nullptr);

    // What the opened drawing has to choose from; a picture shows the threshold instead.
    void showParts(const ktconv::DrawingParts& parts, bool picture);
    void clear();
    // The threshold and the layers and colours left checked (none unchecked: all of them).
    ktconv::InputOptions input(ktconv::InputOptions base = ktconv::InputOptions()) const;

signals:
    void changed();

private:
    QCheckBox* addBox(QVBoxLayout* layout, const QString& text, const QString& key);
    QStringList checked(const QList<QCheckBox*>& boxes) const;

    QWidget* trace = nullptr;
    QSlider* threshold = nullptr;
    QCheckBox* automatic = nullptr;
    QLabel* thresholdValue = nullptr;
    QWidget* layerGroup = nullptr;
    QWidget* colourGroup = nullptr;
    QList<QCheckBox*> layers;
    QList<QCheckBox*> colours;
};

#endif // DRAWINGPARTSPANEL_H
