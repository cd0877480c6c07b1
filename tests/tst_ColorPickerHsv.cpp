// The picker's HSV-to-RGB conversion: against Qt's own conversion wherever that accepts the
// values, and beyond 1, where Qt refuses them and the picker still needs an answer.
#include "TestEnvironment.h"

#include "platform/Color.h"

#include <QApplication>
#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(Color)

QString describe(const Color &c)
{
    return QString::asprintf("Color(%.9g, %.9g, %.9g, %.9g)", double(c.red), double(c.green),
        double(c.blue), double(c.alpha));
}

class TestColorPickerHsv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void agreesWithQtInRange()
    {
        // Qt keeps hue in hundredths of a degree and components in 16 bits.
        constexpr float tolerance = 2e-4f;
        int compared = 0;
        for (int hi = 0; hi <= 72; ++hi) {
            for (int si = 0; si <= 8; ++si) {
                for (int vi = 0; vi <= 8; ++vi) {
                    const float h = float(hi) / 72.0f, s = float(si) / 8.0f, v = float(vi) / 8.0f;
                    const Color ours = colorWithHue(h, s, v);
                    const QColor qt = QColor::fromHsvF(h, s, v).toRgb();
                    QVERIFY2(qt.isValid(), "reference refused an in-range value");
                    const float errors[] = { ours.red - qt.redF(), ours.green - qt.greenF(),
                        ours.blue - qt.blueF() };
                    for (float e : errors) {
                        QVERIFY2(std::fabs(e) <= tolerance,
                            qPrintable(QStringLiteral("h %1 s %2 v %3: %4 against %5")
                                           .arg(h)
                                           .arg(s)
                                           .arg(v)
                                           .arg(describe(ours))
                                           .arg(qt.name())));
                    }
                    QCOMPARE(ours.alpha, 1.0f);
                    ++compared;
                }
            }
        }
        QCOMPARE(compared, 73 * 81);
    }

    void outOfRange_data()
    {
        QTest::addColumn<float>("hue");
        QTest::addColumn<float>("saturation");
        QTest::addColumn<float>("brightness");
        QTest::addColumn<Color>("colour");
        // Worked by hand from the hexcone: p = v(1 - s), q = v(1 - sf), t = v(1 - s(1 - f)).
        QTest::newRow("saturation above 1 drives the smallest component below 0")
            << 0.0f << 1.2f << 1.0f << Color { 1.0f, -0.2f, -0.2f, 1.0f };
        QTest::newRow("brightness above 1 lifts the largest above 1")
            << 0.5f << 0.5f << 1.2f << Color { 0.6f, 1.2f, 1.2f, 1.0f };
        QTest::newRow("both, between sectors")
            << 0.25f << 1.5f << 1.2f << Color { 0.3f, 1.2f, -0.6f, 1.0f };
        QTest::newRow("negative saturation lifts the others above the largest")
            << 2.0f / 3.0f << -0.5f << 0.5f << Color { 0.75f, 0.75f, 0.5f, 1.0f };
        QTest::newRow("hue 1 is red again") << 1.0f << 1.0f << 1.0f << Color { 1, 0, 0, 1 };
        QTest::newRow("hue wraps above 1") << 1.25f << 1.0f << 1.0f << Color { 0.5f, 1, 0, 1 };
        QTest::newRow("hue wraps below 0") << -0.25f << 1.0f << 1.0f << Color { 0.5f, 0, 1, 1 };
        QTest::newRow("tiny negative hue stays red")
            << -1e-12f << 1.0f << 1.0f << Color { 1, 0, 0, 1 };
        QTest::newRow("hue that is not a number counts as 0")
            << std::numeric_limits<float>::quiet_NaN() << 1.0f << 0.5f << Color { 0.5f, 0, 0, 1 };
    }
    void outOfRange()
    {
        QFETCH(float, hue);
        QFETCH(float, saturation);
        QFETCH(float, brightness);
        QFETCH(Color, colour);
        const Color ours = colorWithHue(hue, saturation, brightness);
        const float got[] = { ours.red, ours.green, ours.blue, ours.alpha };
        const float want[] = { colour.red, colour.green, colour.blue, colour.alpha };
        for (int i = 0; i < 4; ++i)
            QVERIFY2(std::fabs(got[i] - want[i]) < 1e-6f, qPrintable(describe(ours)));
    }
};

PEREGRIX_TEST_MAIN(TestColorPickerHsv)
#include "tst_ColorPickerHsv.moc"
