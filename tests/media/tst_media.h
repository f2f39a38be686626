#ifndef TST_MEDIA_H
#define TST_MEDIA_H

#include <QTemporaryDir>
#include <QtTest>

class tst_Media : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void material_data();
    void material();
    void nestUsesLessMaterialThanRows();
    void materialOnThePreview_data();
    void materialOnThePreview();
    void weedLinesStopAtDesigns_data();
    void weedLinesStopAtDesigns();
    void perforation_data();
    void perforation();
    void bladeTurnsBeforeEachPath_data();
    void bladeTurnsBeforeEachPath();
    // On the command line (mediacommands.cpp).
    void commandLine();
    void layerChoiceOnTheCommandLine();
    void resumeHintCutsTheRest();
    void cutterKeyIsShared_data();
    void cutterKeyIsShared();

private:
    QTemporaryDir dir;
};

#endif // TST_MEDIA_H
