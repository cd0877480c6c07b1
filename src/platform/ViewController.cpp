// ViewController: base of every screen; builds its view from the screen's Designer form.
#include "ViewController.h"

ViewController::ViewController(QObject *parent)
    : QObject(parent)
{
}

ViewController::~ViewController()
{
    // A view that a container took in is deleted with the container; one never placed is ours.
    if (m_view && !m_view->parent())
        delete m_view.data();
}

namespace {

// Designer keeps font sizes in points, and our forms were laid out where a point is 4/3 of a
// pixel (96 DPI). Fixed as pixels, they look the same whatever DPI the display reports, and
// fit the fixed 320 x 480 window.
void fixFontsAsPixels(QWidget *view)
{
    QList<QWidget *> widgets = view->findChildren<QWidget *>();
    widgets.prepend(view);
    for (QWidget *widget : widgets) {
        if (!widget->testAttribute(Qt::WA_SetFont) || widget->font().pointSizeF() <= 0)
            continue;
        QFont font = widget->font();
        font.setPixelSize(qRound(font.pointSizeF() * 4.0 / 3.0));
        widget->setFont(font);
    }
}

} // namespace

QWidget *ViewController::view()
{
    if (!m_view) {
        m_view = new QWidget;
        loadView(m_view);
        fixFontsAsPixels(m_view);
        viewDidLoad();
    }
    return m_view;
}

void ViewController::viewDidLoad() { }
void ViewController::viewWillAppear(bool) { }
void ViewController::viewDidAppear(bool) { }
void ViewController::viewWillDisappear(bool) { }
void ViewController::viewDidDisappear(bool) { }
