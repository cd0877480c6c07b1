// NavigationBar: the bar across the top of a side, with a title and a button on its right.
#include "NavigationBar.h"

#include <QEvent>
#include <QPainter>

namespace {

QString buttonStyleSheet(NavigationItem::ButtonStyle style)
{
    const QString fill = style == NavigationItem::Done
        ? QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5f8fd8, stop:1 #2456b8)")
        : QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #606060, stop:1 #303030)");
    return QStringLiteral("QPushButton { color: white; font-weight: bold; border: 1px solid "
                          "#101010; border-radius: 5px; padding: 0 8px; background: %1; }"
                          "QPushButton:pressed { background: #1a3f8a; }")
        .arg(fill);
}

} // namespace

NavigationBar::NavigationBar(const QRect &frame, QWidget *parent)
    : QWidget(parent)
    , m_frame(frame)
    , m_decorations(new QWidget)
{
    m_decorations->setObjectName(QStringLiteral("navigationBarDecorations"));
    m_decorations->setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(frame);
    placeDecorations();
}

NavigationBar::~NavigationBar()
{
    delete m_decorations.data();
    delete m_rightButton.data();
}

void NavigationBar::setBarStyle(BarStyle style)
{
    m_style = style;
    update();
}

void NavigationBar::addSubview(QWidget *view)
{
    view->setParent(m_decorations);
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->show();
}

QList<QWidget *> NavigationBar::subviews() const
{
    return m_decorations->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

void NavigationBar::pushNavigationItem(const NavigationItem &item, bool)
{
    m_title = item.title;
    delete m_rightButton.data();
    m_rightButton = new QPushButton(item.rightButtonTitle);
    m_rightButton->setObjectName(QStringLiteral("rightButton"));
    m_rightButton->setStyleSheet(buttonStyleSheet(item.rightButtonStyle));
    m_rightButton->setCursor(Qt::PointingHandCursor);
    const int width = item.rightButtonWidth > 0
        ? item.rightButtonWidth
        : m_rightButton->fontMetrics().horizontalAdvance(item.rightButtonTitle) + 24;
    m_rightButtonFrame = QRect(m_frame.width() - 5 - width, 7, width, 30);
    if (item.rightButtonAction)
        connect(m_rightButton, &QPushButton::clicked, this, item.rightButtonAction);
    placeDecorations();
    update();
}

// The decoration layer and the button go wherever the bar goes, show when it shows, and stay on
// top of its siblings, the bar included: the layer, then the button above it, as a button pushed
// after the labels were added lies above them.
bool NavigationBar::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
        placeDecorations();
        break;
    default:
        break;
    }
    return handled;
}

void NavigationBar::placeDecorations()
{
    QWidget *parent = parentWidget();
    const auto place = [&](QWidget *overlay, const QRect &frame) {
        if (!overlay)
            return;
        if (overlay->parentWidget() != parent)
            overlay->setParent(parent);
        if (!parent)
            return;
        overlay->setGeometry(frame.translated(pos()));
        overlay->raise();
        overlay->setVisible(isVisibleTo(parent));
    };
    place(m_decorations, QRect(QPoint(), parent ? parent->size() : QSize()));
    place(m_rightButton, m_rightButtonFrame);
}

void NavigationBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect bar(QPoint(0, 0), m_frame.size());
    QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
    if (m_style == Black) {
        fill.setColorAt(0, QColor(70, 70, 70));
        fill.setColorAt(0.5, QColor(30, 30, 30));
        fill.setColorAt(1, QColor(0, 0, 0));
    } else {
        fill.setColorAt(0, QColor(176, 188, 205));
        fill.setColorAt(1, QColor(109, 132, 162));
    }
    p.fillRect(bar, fill);
    p.setFont(titleFont());
    p.setPen(Qt::white);
    const TitleLayout title = titleLayout();
    p.drawText(title.rect, Qt::AlignLeft | Qt::AlignVCenter, title.text);
}

QFont NavigationBar::titleFont() const
{
    QFont font = this->font();
    font.setBold(true);
    font.setPixelSize(20);
    return font;
}

QRect NavigationBar::titleRect() const
{
    return titleLayout().rect;
}

// Centred on the bar, trailing blanks and all, when it clears the button; otherwise the bare
// title centred in the room left of the button (a wide "Done" leaves little), and cut short
// only if even that is too narrow.
NavigationBar::TitleLayout NavigationBar::titleLayout() const
{
    const QFontMetrics metrics(titleFont());
    const QRect bar(QPoint(0, 0), m_frame.size());
    QRect centred(0, 0, metrics.horizontalAdvance(m_title), bar.height());
    centred.moveCenter(bar.center());
    if (!m_rightButton || centred.right() + gap < m_rightButtonFrame.x())
        return { centred, m_title };
    const QRect room(0, 0, m_rightButtonFrame.x() - gap, bar.height());
    const QString text
        = metrics.elidedText(m_title.trimmed(), Qt::ElideRight, room.width() - 2 * gap);
    QRect shown(0, 0, metrics.horizontalAdvance(text), bar.height());
    shown.moveCenter(room.center());
    return { shown, text };
}
