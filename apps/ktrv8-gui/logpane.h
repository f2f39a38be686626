#ifndef LOGPANE_H
#define LOGPANE_H

#include <QPlainTextEdit>

// What the driver and the window said, one time-stamped line each; problems in red.
class LogPane : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit LogPane(QWidget* parent = nullptr);

public slots:
    void note(const QString& text);
    void problem(const QString& text);

signals:
    void problemAdded(const QString& text);

private:
    void add(const QString& text, const char* colour);
};

#endif // LOGPANE_H
