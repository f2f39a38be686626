#ifndef JOBCONTROL_H
#define JOBCONTROL_H

// RV8 job control: cutting a job into pages, the job step driven by the cutter's replies,
// and whole jobs against a scripted cutter on a loopback socket. What the test's sources share.
#include "ktdeviceproperty.h"
#include "ktrv8.h"
#include "loopbackcutter.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <memory>

using K = KTDeviceInterface;

inline QString replyFrame(const char* payload)
{
    return QString::fromLatin1(LoopbackCutter::frame(payload));
}

inline QJsonObject record(int finished, int copies, int status, int percent)
{
    return {{"Finished", finished}, {"TaskCopies", copies}, {"Status", status}, {"Percent", percent}};
}

// A device built by the plug-in object, with every job message it raises recorded.
struct Device
{
    std::unique_ptr<KTRV8> rv8;
    QStringList jobMessages; // DevTasK texts
    QStringList codes;       // Qrcode texts
    QStringList status;      // DevStatus texts

    Device()
    {
        KTRV8 factory;
        rv8.reset(static_cast<KTRV8*>(factory.initInstance()));
        QObject::connect(rv8.get(), &K::message, rv8.get(), [this](K::KTDeviceMessage kind, QString text) {
            if (kind == K::DevTasK)
                jobMessages << text;
            else if (kind == K::Qrcode)
                codes << text;
            else
                status << text;
        });
    }
    KTDeviceProperty* operator[](const char* key) const { return rv8->property_ptr(key); }
    QJsonObject task() const { return (*this)["TASK"]->value().toJsonObject(); }
};

// The cutter's side of the protocol as far as these jobs need it.
struct CutterRules
{
    bool answerPages = true;  // "CCMD;4,0;" for every page received
    bool answerRepeat = true; // a repeated copy reports ready like a page
    QByteArray qrcode = "QR-0001";
};

inline LoopbackCutter::Script cutterScript(const CutterRules& rules)
{
    return [rules](const QByteArray& frame) -> QList<QByteArray> {
        const QByteArray p = LoopbackCutter::payloadOf(frame);
        if (p.startsWith("PPLT;") && rules.answerPages)
            return {LoopbackCutter::frame("CCMD;4,0;")};
        if (p == "CCMD;30,1;" && rules.answerRepeat)
            return {LoopbackCutter::frame("CCMD;4,0;")};
        if (p == "CCMD;11;")
            return {LoopbackCutter::frame("CCMD;11,0," + rules.qrcode + ";")};
        if (p.startsWith("CCMD;27,")) // confirm stop / pause / resume with the value
            return {LoopbackCutter::frame("CCMD;27,0," + p.mid(8))};
        return {};
    };
}

inline const char* const ThreePages = "IN;PU0,0;PD10,10;PG;PU5,5;PD20,0;PG;PU0,0;PD0,30;PG;";

class tst_JobControl : public QObject
{
    Q_OBJECT
private slots:
    void splitPages_data();
    void splitPages();
    void setPltLoadsFirstPage();
    void setPltWithoutPageEmptiesJob();
    void setPltWithoutJobProperty();
    void jobStep_data();
    void jobStep();
    void moveScalesSteps();

    void onePageJob();
    void threePagesThreeCopies();
    void pageFramesAreThePropertys_data();
    void pageFramesAreThePropertys();
    void qrcodeJob();
    void pauseResumeStop();
    void deviceInitiatedStop();
    void finishedTaskIgnoresCopies();
    void emptyJobStartsNothing();
    void startTimeCreatedOnce();
    void debugLineHasItsCategory();
    void cloudSeesEveryTaskChange();

    void setPltScalesLinearly_data();
    void setPltScalesLinearly();

private:
    bool connect(Device& device, LoopbackCutter& cutter);
    // Frames that reached the cutter since the last call, ended by a marker request that
    // proves everything sent before it has arrived.
    QStringList settle(Device& device, LoopbackCutter& cutter);
};

#endif // JOBCONTROL_H
