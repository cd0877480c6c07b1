// ColourPickerPage: the colour picker page built as the program builds it, shown and drawn once,
// with the picker and its outlets at hand.
#pragma once

#include "colourpicker/ColorPickerView.h"
#include "colourpicker/ColorPickerViewController.h"

#include "shared/ThemeColour.h"

#include <QLabel>
#include <QPropertyAnimation>
#include <QtTest>

class ColourPickerPage : public ColorPickerViewController
{
public:
    // Alone: the page by itself. AsOnTheSettingsSide: then the theme colour is posted, as the
    // settings side does once all its pages exist.
    enum Opening { Alone, AsOnTheSettingsSide };

    explicit ColourPickerPage(Opening opening)
    {
        QWidget *page = view();
        if (opening == AsOnTheSettingsSide)
            ThemeColour::post();
        page->show();
        if (!QTest::qWaitForWindowExposed(page))
            qFatal("the page was not shown");
        page->repaint();
    }

    [[nodiscard]] ColorPickerView &picker() const { return *pickerView(); }
    [[nodiscard]] const ColorPickerView::Outlets &outlets() const { return picker().outlets(); }

    // Lets every glide of the markers end.
    void settle() const
    {
        for (QWidget *marker : { static_cast<QWidget *>(outlets().crossHairs),
                 static_cast<QWidget *>(outlets().brightnessBar) }) {
            if (auto *glide = marker->findChild<QPropertyAnimation *>())
                QTRY_COMPARE(glide->state(), QAbstractAnimation::Stopped);
        }
    }
};
