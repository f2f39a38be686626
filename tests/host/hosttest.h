#ifndef HOSTTEST_H
#define HOSTTEST_H

#include "hostprocess.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_Host : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pageGeometry_data();
    void pageGeometry();
    void preparedJobPages_data();
    void preparedJobPages();
    void durationText_data();
    void durationText();
    void demoCutsTheSampleExactly();
    void cut_data();
    void cut();
    void qrCodeJob_data();
    void qrCodeJob();
    void ctrlCStopsAndWaitsForTheCutter();
    void spaceKeyPausesAndResumes();
    void setGetRoundTrip_data();
    void setGetRoundTrip();
    void cutterFaultsAreErrors_data();
    void cutterFaultsAreErrors();
    void outOfRangeIsRejected_data();
    void outOfRangeIsRejected();
    void connectionErrorsSayWhatToDo();
    void settingsWindowBuildsEveryRow();
    void helpAndJson();
    void pluginChoice_data();
    void pluginChoice();
    void drawings();
    void endAccountsAgree_data();
    void endAccountsAgree();
    void resumeCutsTheRest_data();
    void resumeCutsTheRest();
    void jsonForEveryOutcome_data();
    void jsonForEveryOutcome();
    void fileCheckedBeforeConnecting_data();
    void fileCheckedBeforeConnecting();
    void resultsFollowTheLanguage_data();
    void resultsFollowTheLanguage();

private:
    QTemporaryDir dir;
    QString sample;
};

#endif // HOSTTEST_H
