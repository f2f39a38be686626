#ifndef TST_SIMULATOR_H
#define TST_SIMULATOR_H

// The simulator test class, shared by tst_simulator.cpp (parser and the process over
// loopback) and cuttermodel.cpp (the cutter model in process).

#include "simcutter.h"
#include "simprocess.h"
#include "simprotocol.h"
#include "simrecorder.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>

using namespace ktsim;

Q_DECLARE_METATYPE(ktsim::Word)

class tst_Simulator : public QObject
{
    Q_OBJECT
private slots:
    void parseFrame_data();
    void parseFrame();
    void packFrameLength_data();
    void packFrameLength();
    void streamSurvivesNoise_data();
    void streamSurvivesNoise();
    void randomBytesNeverHideTheNextFrame();
    void hpglStrokes();

    void readinessPerPage_data();
    void readinessPerPage();
    void stopAbandonsThePage();
    void pauseHoldsThePage();
    void family157JobReports();
    void cutTimeFollowsSpeed_data();
    void cutTimeFollowsSpeed();

    void settingsRoundTrip437();
    void settingsRoundTrip157();
    void jobOverTcpRecordsWhatWasCut();
    void qrCodesAndStop();
    void deviceStopOnSignal();
    void ptyConnection();
    void secondHostIsTurnedAway();
    void malformedRequestsAreIgnored();
    void portInUseIsAClearError();
};

#endif // TST_SIMULATOR_H
