// The colour picker page and the preferences: the first start, seeding from stored values,
// setting the theme colour, a restart read back by a second process, and a screenshot.
#include "ColourPickerPage.h"
#include "Outlet.h"
#include "Preferences.h"
#include "Screenshot.h"
#include "TestEnvironment.h"

#include "colourpicker/ColorPickerView.h"
#include "colourpicker/ColorPickerViewController.h"
#include "colourpicker/GradientView.h"

#include "shared/GlobalFunctions.h"
#include "shared/ThemeColour.h"

#include <QApplication>
#include <QLabel>
#include <QPointingDevice>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

namespace {

// The texts the page's form gives the hex label and the six value labels.
const QStringList formTexts { "#3F7F7F", "127", "127", "127", "63", "127", "127" };
const QPoint formCrossHairs(160, 298);
const QColor yellow(255, 255, 0);

} // namespace

class TestColorPickerViewController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ColourPickerPage> page;
    QPointingDevice *touchScreen = nullptr;
    int posts = 0;

    ColorPickerViewController &open()
    {
        page = std::make_unique<ColourPickerPage>(ColourPickerPage::AsOnTheSettingsSide);
        return *page;
    }
    ColorPickerView &picker() { return page->picker(); }
    const ColorPickerView::Outlets &out() { return page->outlets(); }
    QPushButton *setColourButton() { return outlet<QPushButton>(page->view(), "cbSetColor"); }
    QStringList labels()
    {
        const auto &o = out();
        return { o.colorInHex->text(), o.Hcoords->text(), o.Scoords->text(), o.Lcoords->text(),
            o.Rcoords->text(), o.Gcoords->text(), o.Bcoords->text() };
    }
    QPoint markerCentre() { return out().brightnessBar->geometry().center(); }
    // One pointer drag through the points.
    void touch(const QList<QPoint> &points)
    {
        if (points.isEmpty())
            return;
        QTest::mousePress(&picker(), Qt::LeftButton, {}, points.first());
        for (QPoint p : points.mid(1))
            QTest::mouseMove(&picker(), p);
        QTest::mouseRelease(&picker(), Qt::LeftButton, {}, points.last());
    }

    // What a second run of the program shows on this page; with barX, after a touch there.
    QMap<QString, QString> restart(const QString &barX = QString())
    {
        QProcess probe;
        const QStringList args = barX.isNull() ? QStringList() : QStringList { "bar", barX };
        probe.start(QStringLiteral(COLORPICKER_PROBE), args);
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            qWarning() << "probe failed:" << probe.readAllStandardError();
        QMap<QString, QString> shown;
        const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
        for (const QString &line : lines) {
            const qsizetype space = line.indexOf(' ');
            if (space > 0)
                shown.insert(line.left(space), line.mid(space + 1));
        }
        return shown;
    }

private Q_SLOTS:
    void initTestCase()
    {
        touchScreen = QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
        ThemeColour::observe(this, [this] { ++posts; });
    }

    void cleanupTestCase() { delete touchScreen; }

    void init()
    {
        QVERIFY(clearPreferences({ "hue", "sat", "bright", "bg" }));
        posts = 0;
    }

    void cleanup() { page.reset(); }

    void firstStart()
    {
        ColorPickerViewController &p = open();
        QCOMPARE(picker().currentHue(), 0.5f);
        QCOMPARE(picker().currentSaturation(), 0.5f);
        QCOMPARE(picker().currentBrightness(), 0.5f);
        QCOMPARE(markerCentre(), QPoint(165, 404));
        QCOMPARE(ThemeColour::backgroundOf(&picker()), yellow);
        QCOMPARE(ThemeColour::backgroundOf(out().showColor), yellow);
        // The form's texts and crosshair, and the bar's yellow middle, until the first touch.
        QCOMPARE(labels(), formTexts);
        QCOMPARE(out().crossHairs->geometry().center(), formCrossHairs);
        QCOMPARE(picker().gradientView()->theColor(), (Color { 1, 1, 0, 1 }));
        // The form's hex text is the colour of these first values, so setting it before any
        // touch stores a colour that agrees with the stored values.
        QCOMPARE(ColorPickerView::hexStringFromColor(colorWithHue(0.5f, 0.5f, 0.5f)), formTexts[0]);
        // The page fills whatever frame its container gives it.
        p.view()->resize(320, 500);
        QCOMPARE(picker().geometry(), QRect(0, 0, 320, 500));
    }

    void seeding_data()
    {
        QTest::addColumn<QStringList>("stored"); // hue, sat, bright; null for none
        QTest::addColumn<float>("hue");
        QTest::addColumn<float>("saturation");
        QTest::addColumn<float>("brightness");
        QTest::addColumn<QPoint>("marker");
        QTest::newRow("stored values") << QStringList { "0.25", "0.75", "0.716666639" } << 0.25f
                                       << 0.75f << 0.71666664f << QPoint(100, 404);
        QTest::newRow("0.0 counts as none")
            << QStringList { "0", "0.7", "0.0" } << 0.5f << 0.7f << 0.5f << QPoint(165, 404);
        QTest::newRow("values from the mappings' edges, unclamped")
            << QStringList { "0.99999666", "1.15564203", "1.01666665" } << 0.99999666f << 1.1556420f
            << 1.0166667f << QPoint(10, 404);
        QTest::newRow("negative") << QStringList { "-0.25", QString(), "0.0166666" } << -0.25f
                                  << 0.5f << 0.0166666f << QPoint(310, 404);
        QTest::newRow("unreadable text reads as none")
            << QStringList { "red", "0.3", "" } << 0.5f << 0.3f << 0.5f << QPoint(165, 404);
    }
    void seeding()
    {
        QFETCH(QStringList, stored);
        QFETCH(float, hue);
        QFETCH(float, saturation);
        QFETCH(float, brightness);
        QFETCH(QPoint, marker);
        const QStringList keys { "hue", "sat", "bright" };
        for (int i = 0; i < 3; ++i) {
            if (!stored[i].isNull())
                prefs().setString(stored[i], keys[i]);
        }
        ColorPickerViewController &p = open();
        QCOMPARE(picker().currentHue(), hue);
        QCOMPARE(picker().currentSaturation(), saturation);
        QCOMPARE(picker().currentBrightness(), brightness);
        QCOMPARE(p.getSelectedColor(), colorWithHue(hue, saturation, brightness));
        QCOMPARE(markerCentre(), marker);
        // With no colour stored, the labels keep the form's colour, hex and numbers alike, until
        // a touch.
        QCOMPARE(labels(), formTexts);
        QCOMPARE(out().crossHairs->geometry().center(), formCrossHairs);
    }

    void setColor_data()
    {
        QTest::addColumn<QList<QPoint>>("touches");
        QTest::addColumn<QString>("label"); // the hex label's text before setting; null: as is
        QTest::addColumn<float>("hue");
        QTest::addColumn<float>("saturation");
        QTest::addColumn<float>("brightness");
        QTest::addColumn<QString>("bg");
        QTest::addColumn<QColor>("theme");
        QTest::newRow("matrix only") << QList<QPoint> { { 160, 170 } } << QString() << 0.5f << 1.0f
                                     << 0.5f << "007F7F" << QColor(0x00, 0x7F, 0x7F);
        QTest::newRow("only the brightness changed since the last matrix touch")
            << QList<QPoint> { { 160, 170 }, { 160, 404 } } << QString() << 0.5f << 1.0f
            << 0.51666665f << "008383" << QColor(0x00, 0x83, 0x83);
        QTest::newRow("drag across both areas")
            << QList<QPoint> { { 160, 170 }, { 60, 250 }, { 100, 404 } } << QString() << 0.16442953f
            << 0.68871593f << 0.71666664f << "B6B538" << QColor(0xB6, 0xB5, 0x38);
        QTest::newRow("untouched: the form's text") << QList<QPoint>() << QString() << 0.5f << 0.5f
                                                    << 0.5f << "3F7F7F" << QColor(0x3F, 0x7F, 0x7F);
        QTest::newRow("a six-character text is stored whole")
            << QList<QPoint>() << "00FF00" << 0.5f << 0.5f << 0.5f << "00FF00" << QColor(0, 255, 0);
        QTest::newRow("any other length turns every screen yellow")
            << QList<QPoint>() << "#00FF00X" << 0.5f << 0.5f << 0.5f << "#00FF00X" << yellow;
    }
    void setColor()
    {
        QFETCH(QList<QPoint>, touches);
        QFETCH(QString, label);
        QFETCH(float, hue);
        QFETCH(float, saturation);
        QFETCH(float, brightness);
        QFETCH(QString, bg);
        QFETCH(QColor, theme);
        open();
        touch(touches);
        if (!label.isNull())
            out().colorInHex->setText(label);
        const QStringList before = labels();
        QWidget otherScreen;
        ThemeColour::observe(&otherScreen, [&otherScreen] {
            ThemeColour::paint(&otherScreen, GlobalData::sharedGlobalData()->getBackgroundColour());
        });
        posts = 0;
        QTest::mouseClick(setColourButton(), Qt::LeftButton);

        // On disk at once, as the next run reads it.
        QCOMPARE(preferencesOnDisk().floatForKey("hue"), hue);
        QCOMPARE(preferencesOnDisk().floatForKey("sat"), saturation);
        QCOMPARE(preferencesOnDisk().floatForKey("bright"), brightness);
        QCOMPARE(preferencesOnDisk().stringForKey("bg"), bg);
        QCOMPARE(posts, 1);
        QCOMPARE(ThemeColour::backgroundOf(&otherScreen), theme);
        QCOMPARE(ThemeColour::backgroundOf(&picker()), theme);
        QCOMPARE(ThemeColour::backgroundOf(out().showColor), theme);
        // Painting the page leaves the picker as it was.
        QCOMPARE(labels(), before);
        QCOMPARE(picker().currentHue(), hue);
    }

    void setColourButtonAnswersAFinger()
    {
        open();
        QTest::touchEvent(&picker(), touchScreen).press(0, QPoint(160, 170), &picker());
        QTest::touchEvent(&picker(), touchScreen).release(0, QPoint(160, 170), &picker());
        const QPoint button = setColourButton()->geometry().center();
        posts = 0;
        QTest::touchEvent(&picker(), touchScreen).press(0, button, &picker());
        QTest::touchEvent(&picker(), touchScreen).release(0, button, &picker());
        QCOMPARE(posts, 1);
        QCOMPARE(preferencesOnDisk().stringForKey("bg"), QStringLiteral("007F7F"));
    }

    void storedZeroHueComesBackAsHalf()
    {
        open();
        touch({ QPoint(11, 200) }); // the matrix's left edge: hue 0
        QCOMPARE(picker().currentHue(), 0.0f);
        QTest::mouseClick(setColourButton(), Qt::LeftButton);
        QCOMPARE(preferencesOnDisk().stringForKey("bg"), QStringLiteral("7F0E0E"));

        open();
        QCOMPARE(picker().currentHue(), 0.5f);
        QCOMPARE(picker().currentSaturation(), 0.88326848f);
        QCOMPARE(ThemeColour::backgroundOf(&picker()), QColor(0x7F, 0x0E, 0x0E));
        // The numbers describe the stored colour shown beside them, not the picker's hue.
        QCOMPARE(labels().join(' '), QStringLiteral("#7F0E0E 0 227 127 127 14 14"));
    }

    void themeNotificationLeavesThePickerAlone()
    {
        ColorPickerViewController &p = open();
        touch({ QPoint(220, 200), QPoint(120, 404) });
        page->settle();
        const QStringList before = labels();
        const QPoint crossHairs = out().crossHairs->geometry().center();
        const QPoint marker = markerCentre();
        prefs().setString(QStringLiteral("336699"), QStringLiteral("bg"));
        ThemeColour::post();
        QCOMPARE(ThemeColour::backgroundOf(&picker()), QColor(0x33, 0x66, 0x99));
        QCOMPARE(ThemeColour::backgroundOf(out().showColor), QColor(0x33, 0x66, 0x99));
        p.view()->repaint();
        QCOMPARE(labels(), before);
        QCOMPARE(out().crossHairs->geometry().center(), crossHairs);
        QCOMPARE(markerCentre(), marker);
        QCOMPARE(picker().currentBrightness(), 0.64999998f);
    }

    void restartShowsTheStoredChoice()
    {
        open();
        touch({ QPoint(60, 250), QPoint(100, 404) });
        QTest::mouseClick(setColourButton(), Qt::LeftButton);
        page.reset();

        const QMap<QString, QString> next = restart();
        QCOMPARE(next.value("hue").toFloat(), 0.16442953f);
        QCOMPARE(next.value("sat").toFloat(), 0.68871593f);
        QCOMPARE(next.value("bright").toFloat(), 0.71666664f);
        QCOMPARE(next.value("marker"), QStringLiteral("100,404")); // where the finger left it
        QCOMPARE(next.value("crosshair"), QStringLiteral("160,298")); // where the form has it
        QCOMPARE(next.value("page"), QStringLiteral("#b6b538"));
        QCOMPARE(next.value("swatch"), QStringLiteral("#b6b538"));
        // The labels start from the stored colour and the restored values.
        QCOMPARE(next.value("labels"), QStringLiteral("#B6B538|41|175|182|182|181|56"));

        // A touch on the bar where the finger was shows the restored colour again.
        const QMap<QString, QString> touched = restart(QStringLiteral("100"));
        QCOMPARE(touched.value("labels"), QStringLiteral("#B6B538|41|175|182|182|181|56"));
        QCOMPARE(touched.value("swatch"), QStringLiteral("#b6b538"));
    }

    void settingWithoutATouchAfterARestartKeepsTheTheme()
    {
        prefs().setString(QStringLiteral("b6b538"), QStringLiteral("bg"));
        open();
        QTest::mouseClick(setColourButton(), Qt::LeftButton);
        QCOMPARE(prefs().stringForKey(QStringLiteral("bg")), QStringLiteral("B6B538"));
        prefs().setString(QStringLiteral("#B6B538"), QStringLiteral("bg")); // unusable
        open();
        QCOMPARE(out().colorInHex->text(), formTexts.first());
        prefs().removeObjectForKey(QStringLiteral("bg"));
    }

    void writesAScreenshot()
    {
        prefs().setString(QStringLiteral("5B8FC7"), QStringLiteral("bg"));
        ColorPickerViewController &p = open();
        touch({ QPoint(220, 200) });
        touch({ QPoint(120, 404) });
        page->settle();
        const QImage shot = p.view()->grab().toImage();
        QVERIFY(saveScreenshot(shot, QStringLiteral("colourpicker")));
        // The crosshair's ring is drawn over the picture, the swatch shows the choice and the
        // page the theme colour.
        QVERIFY(qGray(shot.pixel(226, 200)) < 60);
        QCOMPARE(shot.pixelColor(40, 80), QColor(0x31, 0x13, 0xA5));
        QCOMPARE(shot.pixelColor(5, 200), QColor(0x5B, 0x8F, 0xC7));
    }
};

PEREGRIX_TEST_MAIN(TestColorPickerViewController)
#include "tst_ColorPickerViewController.moc"
