// Exact comparison and text of stored numbers, for every kind a Jet column can hold.

#include <QtTest>

// moc stumbles over <compare>, which FieldValue.h needs; the test class itself doesn't.
#ifndef Q_MOC_RUN
#include "store/FieldValue.h"

#include <cmath>
#include <limits>
#endif

using store::FieldValue;
using Ordering = std::partial_ordering;

Q_DECLARE_METATYPE(FieldValue)

namespace {
FieldValue currency(std::int64_t t)
{
    return FieldValue(FieldValue::Currency{t});
}
FieldValue decimal(FieldValue::Int128 u, int s)
{
    return FieldValue(FieldValue::Decimal{u, s});
}
int sign(Ordering o)
{
    if (o == Ordering::less)
        return -1;
    if (o == Ordering::greater)
        return 1;
    if (o == Ordering::equivalent)
        return 0;
    return 2; // unordered
}
} // namespace

class TestFieldValue : public QObject
{
    Q_OBJECT
  private slots:
    void compare_data();
    void compare();
    void compareValues_data();
    void compareValues();
    void text_data();
    void text();
    void toDouble_data();
    void toDouble();
};

void TestFieldValue::compare_data()
{
    QTest::addColumn<FieldValue>("value");
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("expected"); // -1 less, 0 equal, 1 greater, 2 unordered

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("null") << FieldValue() << 0.0 << 2;
    QTest::newRow("long equal") << FieldValue(std::int64_t(150)) << 150.0 << 0;
    QTest::newRow("long below half") << FieldValue(std::int64_t(150)) << 150.5 << -1;
    QTest::newRow("negative long") << FieldValue(std::int64_t(-3)) << -2.5 << -1;
    QTest::newRow("long against nan") << FieldValue(std::int64_t(1)) << nan << 2;
    QTest::newRow("long against infinity") << FieldValue(std::int64_t(1)) << inf << -1;
    // 2^53 + 1 has no double: a conversion to double would call these equal.
    QTest::newRow("long beyond double precision")
        << FieldValue(std::int64_t(9007199254740993)) << 9007199254740992.0 << 1;
    QTest::newRow("int64 max") << FieldValue(std::numeric_limits<std::int64_t>::max())
                               << 9223372036854775808.0 << -1;
    QTest::newRow("int64 min") << FieldValue(std::numeric_limits<std::int64_t>::min())
                               << -9223372036854775808.0 << 0;
    QTest::newRow("single exact") << FieldValue(0.5f) << 0.5 << 0;
    // 0.1f is not 0.1: the single holds 0.100000001490116...
    QTest::newRow("single 0.1") << FieldValue(0.1f) << 0.1 << 1;
    QTest::newRow("double equal") << FieldValue(0.1) << 0.1 << 0;
    QTest::newRow("double zero signs") << FieldValue(-0.0) << 0.0 << 0;
    QTest::newRow("currency against nearby double")
        << currency(1234500) << 123.45 << -1; // the double is above 123.45
    QTest::newRow("currency whole") << currency(180000) << 18.0 << 0;
    QTest::newRow("currency negative") << currency(-5000) << -0.5 << 0;
    QTest::newRow("currency tiny above zero") << currency(1) << 1e-300 << 1;
    QTest::newRow("currency zero against tiny") << currency(0) << 1e-300 << -1;
    QTest::newRow("currency against denormal") << currency(0) << -4.9e-324 << 1;
    QTest::newRow("decimal against nearby double") << decimal(12345, 2) << 123.45 << -1;
    QTest::newRow("decimal exact half") << decimal(5, 1) << 0.5 << 0;
    QTest::newRow("decimal large")
        << decimal(FieldValue::Int128(1) << 100, 0) << std::ldexp(1.0, 100) << 0;
    QTest::newRow("decimal large above")
        << decimal((FieldValue::Int128(1) << 100) + 1, 0) << std::ldexp(1.0, 100) << 1;
    QTest::newRow("decimal negative scale 28") << decimal(-1, 28) << 0.0 << -1;
}

void TestFieldValue::compare()
{
    QFETCH(FieldValue, value);
    QFETCH(double, x);
    QFETCH(int, expected);
    QCOMPARE(sign(value.compare(x)), expected);
}

// Two stored numbers, as order by and check compare them: exactly, also where their nearest
// doubles are one and the same. Each row is also tried the other way round.
void TestFieldValue::compareValues_data()
{
    QTest::addColumn<FieldValue>("a");
    QTest::addColumn<FieldValue>("b");
    QTest::addColumn<int>("expected"); // -1 less, 0 equal, 1 greater, 2 unordered
    const FieldValue::Int128 e15 = 1'000'000'000'000'000;
    QTest::newRow("decimals one hundredth apart past double precision")
        << decimal(e15 * 100 + 1, 2) << decimal(e15 * 100, 2) << 1;
    QTest::newRow("decimals of other scales, equal") << decimal(165000, 2) << decimal(1650, 0) << 0;
    QTest::newRow("decimal against long")
        << decimal(-16501, 1) << FieldValue(std::int64_t(-1650)) << -1;
    QTest::newRow("currency against decimal of scale 28")
        << currency(1) << decimal(FieldValue::Int128(1) << 90, 28) << -1;
    QTest::newRow("long beyond double precision against double")
        << FieldValue(std::int64_t(9007199254740993)) << FieldValue(9007199254740992.0) << 1;
    QTest::newRow("decimal against single") << decimal(1, 1) << FieldValue(0.1f) << -1;
    QTest::newRow("signs") << decimal(-1, 0) << currency(0) << -1;
    QTest::newRow("null") << FieldValue() << decimal(0, 0) << 2;
}

void TestFieldValue::compareValues()
{
    QFETCH(FieldValue, a);
    QFETCH(FieldValue, b);
    QFETCH(int, expected);
    QCOMPARE(sign(a.compare(b)), expected);
    QCOMPARE(sign(b.compare(a)), expected == 2 ? 2 : -expected);
}

void TestFieldValue::text_data()
{
    QTest::addColumn<FieldValue>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("null") << FieldValue() << "null";
    QTest::newRow("long") << FieldValue(std::int64_t(-42)) << "-42";
    QTest::newRow("single shortest") << FieldValue(0.1f) << "0.1";
    QTest::newRow("double shortest") << FieldValue(0.1) << "0.1";
    QTest::newRow("double 17 digits") << FieldValue(0.30000000000000004) << "0.30000000000000004";
    QTest::newRow("currency") << currency(180000) << "18.0000";
    QTest::newRow("currency small negative") << currency(-5) << "-0.0005";
    QTest::newRow("currency min") << currency(std::numeric_limits<std::int64_t>::min())
                                  << "-922337203685477.5808";
    QTest::newRow("decimal") << decimal(12345, 2) << "123.45";
    QTest::newRow("decimal leading zeros") << decimal(-7, 3) << "-0.007";
    QTest::newRow("decimal no scale") << decimal(99, 0) << "99";
}

void TestFieldValue::text()
{
    QFETCH(FieldValue, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(value.toString()), expected);
}

void TestFieldValue::toDouble_data()
{
    QTest::addColumn<FieldValue>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("long") << FieldValue(std::int64_t(7)) << 7.0;
    QTest::newRow("single") << FieldValue(0.1f) << double(0.1f);
    QTest::newRow("currency") << currency(1234500) << 123.45;
    QTest::newRow("decimal") << decimal(-12345, 2) << -123.45;
}

void TestFieldValue::toDouble()
{
    QFETCH(FieldValue, value);
    QFETCH(double, expected);
    QCOMPARE(value.toDouble(), expected);
    QVERIFY(std::isnan(FieldValue().toDouble()));
}

QTEST_APPLESS_MAIN(TestFieldValue)
#include "tst_fieldvalue.moc"
