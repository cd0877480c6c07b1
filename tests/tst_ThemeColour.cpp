// The stored theme colour: how "bg" is read, and how the screens are told to repaint.
#include "Preferences.h"
#include "TestEnvironment.h"

#include "shared/GlobalFunctions.h"
#include "shared/PreferenceKeys.h"
#include "shared/ThemeColour.h"

#include <QApplication>
#include <QWidget>
#include <QtTest>

class TestThemeColour : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        const QColor yellow(255, 255, 0);
        QTest::newRow("absent") << QString() << yellow;
        QTest::newRow("empty") << QStringLiteral("") << yellow;
        QTest::newRow("orange") << QStringLiteral("FF7F00") << QColor(255, 127, 0);
        QTest::newRow("lower case") << QStringLiteral("ff7f00") << QColor(255, 127, 0);
        QTest::newRow("mixed case") << QStringLiteral("0aBc1F") << QColor(10, 188, 31);
        QTest::newRow("with #") << QStringLiteral("#FF7F00") << yellow;
        QTest::newRow("too short") << QStringLiteral("FFF") << yellow;
        QTest::newRow("reading stops at a non-hex character")
            << QStringLiteral("5Z0000") << QColor(5, 0, 0);
        QTest::newRow("pair with no hex digit") << QStringLiteral("ZZ1020") << QColor(0, 16, 32);
        QTest::newRow("blanks") << QStringLiteral(" 1 2 3") << QColor(0, 0, 0);
        QTest::newRow("black") << QStringLiteral("000000") << QColor(0, 0, 0);
        QTest::newRow("white") << QStringLiteral("FFFFFF") << QColor(255, 255, 255);
        QTest::newRow("non-ASCII digits") << QStringLiteral("١٢٣٤٥٦") << QColor(0, 0, 0);
    }
    void storedText()
    {
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        const QColor result = ThemeColour::fromStoredText(text);
        QCOMPARE(result.toRgb().rgba(), colour.rgba());
        QCOMPARE(result.alphaF(), 1.0f);
    }

    void getBackgroundColourReadsTheStoreEveryTime()
    {
        GlobalData *data = GlobalData::sharedGlobalData();
        QCOMPARE(data->getBackgroundColour(), QColor(255, 255, 0));
        prefs().setString(QStringLiteral("FF7F00"), PreferenceKeys::bg);
        QCOMPARE(data->getBackgroundColour().rgb(), QColor(255, 127, 0).rgb());
        prefs().setString(QStringLiteral("#FF7F00"), PreferenceKeys::bg);
        QCOMPARE(data->getBackgroundColour().rgb(), QColor(255, 255, 0).rgb());
    }

    void everyObserverRepaintsOnAPost()
    {
        prefs().setString(QStringLiteral("336699"), PreferenceKeys::bg);
        QWidget first, second;
        auto repaint = [](QWidget *w) {
            return [w] {
                ThemeColour::paint(w, GlobalData::sharedGlobalData()->getBackgroundColour());
            };
        };
        ThemeColour::observe(&first, repaint(&first));
        ThemeColour::post();
        QCOMPARE(ThemeColour::backgroundOf(&first).rgb(), QColor(0x33, 0x66, 0x99).rgb());
        QVERIFY(first.autoFillBackground());

        // A screen built later paints itself with the same stored colour when it posts.
        ThemeColour::observe(&second, repaint(&second));
        prefs().setString(QStringLiteral("112233"), PreferenceKeys::bg);
        ThemeColour::post();
        QCOMPARE(ThemeColour::backgroundOf(&first).rgb(), QColor(0x11, 0x22, 0x33).rgb());
        QCOMPARE(ThemeColour::backgroundOf(&second).rgb(), QColor(0x11, 0x22, 0x33).rgb());
    }

    void paintingKeepsTextColours()
    {
        QWidget view;
        const QColor text = view.palette().color(QPalette::WindowText);
        ThemeColour::paint(&view, QColor(1, 2, 3));
        ThemeColour::paintButton(&view, QColor(4, 5, 6));
        QCOMPARE(view.palette().color(QPalette::WindowText), text);
        QCOMPARE(view.palette().color(QPalette::Button), QColor(4, 5, 6));
    }
};

PEREGRIX_TEST_MAIN(TestThemeColour)
#include "tst_ThemeColour.moc"
