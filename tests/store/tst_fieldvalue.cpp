// Exact comparison and nearest double of stored numbers, for every kind a Jet column holds.

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
    return o == Ordering::less         ? -1
           : o == Ordering::greater    ? 1
           : o == Ordering::equivalent ? 0
                                       : 2;
}
} // namespace

class TestFieldValue : public QObject
{
    Q_OBJECT
  private slots:
    // As where, order by and the game's hit test compare: exactly, also where the nearest doubles
    // of two numbers are one and the same. Each row is also tried the other way round, and against
    // a plain double when the second number is one.
    void compare_data()
    {
        QTest::addColumn<FieldValue>("a");
        QTest::addColumn<FieldValue>("b");
        QTest::addColumn<int>("expected"); // -1 less, 0 equal, 1 greater, 2 unordered
        const auto row = [](const char* name, FieldValue a, FieldValue b, int expected) {
            QTest::newRow(name) << a << b << expected;
        };
        using L = std::int64_t;
        const FieldValue::Int128 e15 = 1'000'000'000'000'000;
        const FieldValue::Int128 p100 = FieldValue::Int128(1) << 100;
        row("null", FieldValue(), FieldValue(0.0), 2);
        row("long below half", FieldValue(L(150)), FieldValue(150.5), -1);
        row("long against nan", FieldValue(L(1)), FieldValue(std::nan("")), 2);
        // 2^53 + 1 has no double: a conversion to double would call these equal.
        row("long beyond double precision", FieldValue(L(9007199254740993)),
            FieldValue(9007199254740992.0), 1);
        row("int64 min", FieldValue(std::numeric_limits<L>::min()),
            FieldValue(-9223372036854775808.0), 0);
        // 0.1f is not 0.1: the single holds 0.100000001490116...
        row("single exact", FieldValue(0.5f), FieldValue(0.5), 0);
        row("single 0.1", FieldValue(0.1f), FieldValue(0.1), 1);
        row("currency against nearby double", currency(1234500), FieldValue(123.45), -1);
        row("currency tiny above zero", currency(1), FieldValue(1e-300), 1);
        row("currency against denormal", currency(0), FieldValue(-4.9e-324), 1);
        row("decimal against nearby double", decimal(12345, 2), FieldValue(123.45), -1);
        row("decimal large above", decimal(p100 + 1, 0), FieldValue(std::ldexp(1.0, 100)), 1);
        row("decimals one hundredth apart past double precision", decimal(e15 * 100 + 1, 2),
            decimal(e15 * 100, 2), 1);
        row("decimals of other scales, equal", decimal(165000, 2), decimal(1650, 0), 0);
        row("decimal against long", decimal(-16501, 1), FieldValue(L(-1650)), -1);
        row("currency against decimal of scale 28", currency(1),
            decimal(FieldValue::Int128(1) << 90, 28), -1);
    }

    void compare()
    {
        QFETCH(FieldValue, a);
        QFETCH(FieldValue, b);
        QFETCH(int, expected);
        QCOMPARE(sign(a.compare(b)), expected);
        QCOMPARE(sign(b.compare(a)), expected == 2 ? 2 : -expected);
        if (const auto* x = std::get_if<double>(&b.storage()))
            QCOMPARE(sign(a.compare(*x)), expected);
    }

    // The game places markers and tavrello-pack checks rectangles by the nearest double.
    void nearestDouble_data()
    {
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("single") << FieldValue(0.1f) << double(0.1f);
        QTest::newRow("currency") << currency(1234500) << 123.45;
        QTest::newRow("currency min")
            << currency(std::numeric_limits<std::int64_t>::min()) << -922337203685477.5808;
        QTest::newRow("decimal") << decimal(-12345, 2) << -123.45;
        QTest::newRow("decimal leading zeros") << decimal(-7, 3) << -0.007;
    }

    void nearestDouble()
    {
        QFETCH(FieldValue, value);
        QFETCH(double, expected);
        QCOMPARE(value.toDouble(), expected);
        QVERIFY(std::isnan(FieldValue().toDouble()));
    }
};

QTEST_APPLESS_MAIN(TestFieldValue)
#include "tst_fieldvalue.moc"
