// ViewController: base of every screen; builds its view from the screen's Designer form.
#include "ViewController.h"

#include "PagePalette.h"

#include <QLabel>
#include <QLayout>

#include <algorithm>

ViewController::ViewController(QObject *parent)
    : QObject(parent)
{ }

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

// Tab takes the controls in reading order: row by row from the top, each row from the left.
// Controls whose middles lie within rowTolerance of the row's first one share its row.
void orderTabAsRead(QWidget *view)
{
    constexpr int rowTolerance = 12;
    // Controls inside a widget's own layout (a table's list) are placed only once it runs.
    for (QLayout *layout : view->findChildren<QLayout *>())
        layout->activate();
    // A compound control (a table and the list inside it) counts once, as its outermost part.
    QList<QWidget *> controls;
    for (QWidget *widget : view->findChildren<QWidget *>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus))
            continue;
        const bool inner = std::any_of(controls.cbegin(), controls.cend(),
            [widget](QWidget *c) { return c->isAncestorOf(widget); });
        if (!inner)
            controls << widget;
    }
    const auto middle = [view](const QWidget *w) {
        return w->mapTo(view, QPoint(w->width() / 2, w->height() / 2));
    };
    std::stable_sort(controls.begin(), controls.end(),
        [&](QWidget *a, QWidget *b) { return middle(a).y() < middle(b).y(); });
    for (qsizetype row = 0; row < controls.size();) {
        qsizetype end = row + 1;
        while (end < controls.size()
            && middle(controls[end]).y() - middle(controls[row]).y() <= rowTolerance)
            ++end;
        std::stable_sort(controls.begin() + row, controls.begin() + end,
            [&](QWidget *a, QWidget *b) { return middle(a).x() < middle(b).x(); });
        row = end;
    }
    for (qsizetype i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1], controls[i]);
}

// A form's labels only show text, as a phone's do. A click on one goes to whatever lies beneath
// it, so a label placed over a control (a name shown where its field is) never makes the
// control unreachable while both are shown. And what they show is never read as markup: a
// server's reply or a user's name is shown as it came, "<h1>502</h1>" and all.
void makeLabelsTextOnly(QWidget *view)
{
    for (QLabel *label : view->findChildren<QLabel *>()) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setTextFormat(Qt::PlainText);
    }
}

} // namespace

QWidget *ViewController::view()
{
    if (!m_view) {
        m_view = new QWidget;
        m_view->setPalette(PagePalette::palette());
        loadView(m_view);
        fixFontsAsPixels(m_view);
        orderTabAsRead(m_view);
        makeLabelsTextOnly(m_view);
        viewDidLoad();
    }
    return m_view;
}

void ViewController::viewDidLoad() { }
void ViewController::viewWillAppear(bool) { }
void ViewController::viewDidAppear(bool) { }
void ViewController::viewWillDisappear(bool) { }
void ViewController::viewDidDisappear(bool) { }
