#include "ktdeviceproperty.h"
#include "preparedpage_p.h"

#include <QTcpSocket>

namespace {

// The word of the frame that carries a job text, by the job property's kind; null for kinds
// whose frame depends on more than the text.
const char* pageWord(KTDeviceInterface::KTDeviceCMDType kind)
{
    switch (kind) {
    case KTDeviceInterface::PLT: return "PLT";
    case KTDeviceInterface::PPLT: return "PPLT";
    case KTDeviceInterface::QRPLT: return "QR_PLT";
    default: return nullptr;
    }
}

} // namespace

void KTPreparedPage::prepare(const KTDeviceProperty* job, int index, const QString& text)
{
    clear();
    const char* word = job ? pageWord(job->cmd_type()) : nullptr;
    if (!word || job->set_cmd_int() == 0)
        return;
    frame = job->pack(text, QLatin1String(word));
    page = text;
    property = job;
    pageIndex = index;
    kind = job->cmd_type();
    setCode = job->set_cmd_int();
    value.compare(*job, text);
}

void KTPreparedPage::setPage(KTDeviceProperty* job, int index, const QString& text) const
{
    if (job == property && index == pageIndex)
        value.set(*job, text);
    else
        job->setValue(text);
}

void KTPreparedPage::prepareWhenSent(QTcpSocket* socket, std::function<void()> build)
{
    clear();
    if (!socket || socket->bytesToWrite() == 0) {
        build();
        return;
    }
    // The cutter answers only once it has the whole page, so the last of it reaches the
    // kernel, and this runs, before the answer does.
    whenSent = QObject::connect(socket, &QIODevice::bytesWritten, [this, socket, build] {
        if (socket->bytesToWrite() > 0)
            return;
        QObject::disconnect(whenSent);
        build();
    });
}

bool KTPreparedPage::fits(const KTDeviceProperty* job, int index) const
{
    if (!property || job != property || index != pageIndex || job->cmd_type() != kind || job->set_cmd_int() != setCode
        || job->value().userType() != QMetaType::QString)
        return false;
    // A page equal to the one before leaves the property holding that one's string. A host
    // may have given the property another text from its valueChanged.
    return value.knownEqual(job->value()) || job->value().toString() == page;
}

QByteArray KTPreparedPage::take(const KTDeviceProperty* job, int index)
{
    QByteArray bytes = fits(job, index) ? std::move(frame) : job->set_cmd_bytes();
    forget();
    return bytes;
}

void KTPreparedPage::clear()
{
    QObject::disconnect(whenSent);
    value.clear();
    forget();
}

void KTPreparedPage::forget()
{
    frame = QByteArray();
    page = QString();
    property = nullptr;
    pageIndex = -1;
}
