#ifndef KTDEVICEPROPERTY_H
#define KTDEVICEPROPERTY_H

#include "ktdeviceinterface.h"

#include <QObject>
#include <QPair>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QWidget;

// One device parameter: its value, caption, unit and the codes of the commands that read
// and write it. Builds its own command frames and input widgets.
class KTRV8_EXPORT KTDeviceProperty : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant value READ value WRITE setValue NOTIFY valueChanged)
public:
    explicit KTDeviceProperty(QObject* parent = nullptr);
    // Copies the members but not the parameter list nor any dynamic property.
    KTDeviceProperty(const KTDeviceProperty& other);
    ~KTDeviceProperty() override;

    bool init(QVariant value, QString label, QString unit, int get_cmd_int, int set_cmd_int, int cmd_len,
              KTDeviceInterface::KTDeviceCMDType cmd_type, QStringList param);

    const QVariant& value() const { return m_value; }
    QString label() const { return m_label; }
    QString uint() const { return m_unit; }
    QStringList param() const { return m_param; }
    int cmd_len() const { return m_cmdLen; }
    KTDeviceInterface::KTDeviceCMDType cmd_type() const { return m_cmdType; }
    int get_cmd_int() const { return m_getCmd; }
    int set_cmd_int() const { return m_setCmd; }

    void setValue(const QVariant& v);
    void ret_Status(int ret);

    // A child stored on this property under key, or null.
    KTDeviceProperty* property_ptr(const char* key) const;

    // Command codec.
    QByteArray pack(QString body, QString word) const;
    QByteArray get_cmd_bytes() const;
    QByteArray set_cmd_bytes() const;
    void set_decode(QString text);
    void set_decode(QStringList fields);

    // Widgets.
    void create_ui_ctrl(QWidget* parent, QString key, bool withUnit);
    void to_ui_ctrl();
    void from_ui_ctrl();

signals:
    void valueChanged();
    void retStatus(int ret);

private:
    friend class KTValueAhead;
    // setValue's rules, given how v compares with the value the last change replaced and
    // with the current one.
    void applyValue(const QVariant& v, bool equalsPrevious, bool equalsCurrent);
    QString valueText() const;
    QString registerWords() const;
    QString compoundValues() const;
    bool isCompound() const;
    // Child properties with their keys, in attachment order (the editor pointer excluded).
    QVector<QPair<QByteArray, KTDeviceProperty*>> children() const;

    QVariant m_value;
    QVariant m_previousValue;
    int m_getCmd = 0;
    int m_setCmd = 0;
    int m_cmdLen = 0;
    QString m_label;
    QString m_unit;
    KTDeviceInterface::KTDeviceCMDType m_cmdType = KTDeviceInterface::UnCMD;
    QStringList m_param;
};

#endif // KTDEVICEPROPERTY_H
