#include "ktpropertyrules_p.h"

#include <QtTest>

#include <climits>

// The one conversion between a stored value and what an editor (or a host) shows for it.
class tst_EditorValue : public QObject
{
    Q_OBJECT
private slots:
    void bothWays_data();
    void bothWays();
};

void tst_EditorValue::bothWays_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("shown");
    QTest::addColumn<QVariant>("typed");
    QTest::addColumn<QVariant>("storedAgain");
    const double pressure = 19.0 / 6.0;
    // clang-format off
    QTest::newRow("spin truncates toward zero") << "QSpinBox" << pressure << KTEditorDigits << QVariant(-100)
        << QVariant(-316) << QVariant(-316) << QVariant(-99);
    QTest::newRow("spin saturates") << "QSpinBox" << 4.0 << KTEditorDigits << QVariant(INT_MAX / 2)
        << QVariant(INT_MAX) << QVariant(INT_MIN) << QVariant(INT_MIN / 4);
    QTest::newRow("list item") << "QComboBox" << 1.0 << KTEditorDigits << QVariant(2u) << QVariant(2)
        << QVariant(1) << QVariant(1);
    QTest::newRow("double offset") << "QDoubleSpinBox" << 0.005 << KTEditorDigits << QVariant(200u)
        << QVariant(1.0) << QVariant(2.5) << QVariant(500.0);
    // The editors write six digits, exponent and all; a host writing a typed value keeps ten.
    QTest::newRow("editor six digits") << "QLineEdit" << 0.5 << KTEditorDigits << QVariant(2469136u)
        << QVariant("1.23457e+06") << QVariant("617284") << QVariant("1.23457e+06");
    QTest::newRow("host ten digits") << "QLineEdit" << 0.5 << KTHostDigits << QVariant(2469136u)
        << QVariant("1234568") << QVariant("617284") << QVariant("1234568");
    QTest::newRow("text without factor") << "QLineEdit" << 1.0 << KTHostDigits << QVariant("RV8-1")
        << QVariant("RV8-1") << QVariant("RV8-2") << QVariant("RV8-2");
    QTest::newRow("caption as it is") << "QLabel" << 2.0 << KTHostDigits << QVariant("V1.0")
        << QVariant("V1.0") << QVariant("V2.0") << QVariant("V2.0");
    // clang-format on
}

void tst_EditorValue::bothWays()
{
    QFETCH(QString, kind);
    QFETCH(double, factor);
    QFETCH(int, digits);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, shown);
    QFETCH(QVariant, typed);
    QFETCH(QVariant, storedAgain);
    const KTEditorRules rules = kt_editor_rules(QJsonObject{{"widget", kind}, {"factor", factor}});
    const QVariant editor = kt_editor_value(rules, stored, digits);
    QCOMPARE(editor.userType(), shown.userType());
    QCOMPARE(editor, shown);
    const QVariant back = kt_stored_value(rules, typed, digits);
    QCOMPARE(back.userType(), storedAgain.userType());
    QCOMPARE(back, storedAgain);
}

QTEST_MAIN(tst_EditorValue)
#include "tst_editorvalue.moc"
