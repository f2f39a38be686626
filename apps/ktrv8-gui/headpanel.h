#ifndef HEADPANEL_H
#define HEADPANEL_H

#include <QWidget>

class CutterConnection;
class QPushButton;
class QSpinBox;

// Arrows that jog the tool head, the way "ktrv8 move" does, and "Set origin here" on a
// cutter whose parameter set has the command for it. Nothing moves while a cut runs.
class HeadPanel : public QWidget
{
    Q_OBJECT
public:
    explicit HeadPanel(QWidget* parent = nullptr);

    void setLink(CutterConnection* link);
    void setConnected(bool connected);
    void setCutting(bool cutting);

signals:
    void report(const QString& text, bool problem);

private:
    void jog(int dx, int dy);
    void setOrigin();
    void updateButtons();

    CutterConnection* link = nullptr;
    QSpinBox* step = nullptr;
    QList<QPushButton*> arrows;
    QPushButton* originButton = nullptr;
    bool connected = false;
    bool cutting = false;
};

#endif // HEADPANEL_H
