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

    std::unique_ptr<KTJobPages> jobPages; // never null; an internal class, so held through a pointer
    int jobPageIndex = 0;
    bool jobRunning = false; // begun by startTask, not yet finished or stopped: status replies advance it
    std::unique_ptr<KTPreparedPage> nextPage; // made by the first job with a second page
};

#endif // KTRV8_H
