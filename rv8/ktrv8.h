#ifndef KTRV8_H
#define KTRV8_H

#include "ktcommoninterface.h"

#include <QStringList>

#include <memory>

class KTJobPages;
class KTPreparedPage;

// The KT-RV8 mini lettering cutter: the plug-in object (a factory) and every device it
// hands out.
class KTRV8_EXPORT KTRV8 : public KTCommonInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QGenericPluginFactoryInterface" FILE "../interface/ktrv8.json")
    Q_INTERFACES(KTDeviceInterface)
public:
    explicit KTRV8(QObject* parent = nullptr);
    ~KTRV8() override;

    KTDeviceInterface* initInstance() override;
    QStringList userProperty() override;
    QStringList sysProperty() override;
    void startTask() override;
    void move(int x, int y) override;
    void sendCMD(QByteArray bytes) override;
    int icon() override;
    void setPlt(QString plt) override;
    void decode_cmd(QString frame) override;
    using KTCommonInterface::decode_cmd;

    void advanceJob();

private:
    friend class KTRV8Private;

    void loadTranslation();
    bool reportTaskChange();
    void prepareNextPage();
    void onTaskControl(int value);
    void completeCopy(bool startNext);
    bool startNextCopy();
    void noteTaskControl(const QByteArray& bytes);
    void onJobReady();
    void releasePause();

    std::unique_ptr<KTJobPages> jobPages; // never null; an internal class, so held through a pointer
    int jobPageIndex = 0;
    bool jobRunning = false; // begun by startTask, not yet finished or stopped: status replies advance it
    std::unique_ptr<KTPreparedPage> nextPage; // made by the first job with a second page
    // Asked of the cutter by the host and not yet answered: a stop holds every further page
    // of the job for good, a pause until the cutter says it goes on again.
    enum class Hold {
        None,
        Pause,
        Stop
    };
    Hold hold = Hold::None;
    bool readyWhileHeld = false; // the cutter asked for the next page during the hold
};

#endif // KTRV8_H
