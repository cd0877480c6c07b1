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

QWidget *ViewController::view()
{
    if (!m_view) {
        m_view = new QWidget;
        loadView(m_view);
        viewDidLoad();
    }
    return m_view;
}

void ViewController::viewDidLoad() { }
void ViewController::viewWillAppear(bool) { }
void ViewController::viewDidAppear(bool) { }
void ViewController::viewWillDisappear(bool) { }
void ViewController::viewDidDisappear(bool) { }
