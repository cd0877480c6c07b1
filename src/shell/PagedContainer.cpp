// PagedContainer: what both sides of the application share: a horizontally paging scroll view
// holding the side's screens, and a page indicator that follows it and can move it.
#include "PagedContainer.h"

#include "shared/GlobalFunctions.h"
#include "shared/ThemeColour.h"

#include "platform/widgets/PageControl.h"
#include "platform/widgets/ScrollView.h"

#include <cmath>

PagedContainer::PagedContainer(QObject *parent)
    : ViewController(parent)
{ }

int PagedContainer::pageForOffset(double x, double w)
{
    const float quotient = (float(x) - float(w) / 2.0f) / float(w);
    return int(double(std::floor(quotient)) + 1.0);
}

void PagedContainer::setUpPages(
    ScrollView *scrollView, PageControl *pageControl, const std::vector<Page> &pages)
{
    m_scrollView = scrollView;
    m_pageControl = pageControl;
    ThemeColour::observe(this, [this] { backgroundColorSet(); });

    const int n = int(pages.size());
    const double w = scrollView->width();
    const double h = scrollView->height();
    scrollView->setPagingEnabled(true);
    scrollView->setContentSize(QSizeF(n * w, h));
    scrollView->setShowsHorizontalScrollIndicator(true);
    scrollView->setShowsVerticalScrollIndicator(false);
    scrollView->setScrollsToTop(false);
    scrollView->setDelegate(this);

    pageControl->setNumberOfPages(n);
    pageControl->setCurrentPage(0);
    pageControl->setBackgroundColor(QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3));
    connect(pageControl, &PageControl::activated, this, [this] { changePage(); });

    // Each page's own set-up runs here, in page order.
    for (int i = 0; i < n; ++i) {
        ViewController *page = pages[std::size_t(i)].make(this);
        m_pages.push_back(page);
        QWidget *pageView = page->view();
        scrollView->addSubview(pageView);
        pageView->setGeometry(QRectF(i * w + pages[std::size_t(i)].extraX, 0, w, h).toRect());
    }
    ThemeColour::post();
}

void PagedContainer::scrollViewDidScroll(ScrollView *scrollView)
{
    // While the indicator's own scroll runs, its page stays as the user tapped it.
    if (m_pageControlUsed)
        return;
    m_pageControl->setCurrentPage(
        pageForOffset(scrollView->contentOffset().x(), scrollView->width()));
}

void PagedContainer::scrollViewWillBeginDragging(ScrollView *)
{
    m_pageControlUsed = false;
}

// However the view came to rest (a flick, the wheel, a press that stopped a scroll), the dots
// show the page it rests on.
void PagedContainer::scrollViewDidEndDecelerating(ScrollView *scrollView)
{
    m_pageControlUsed = false;
    scrollViewDidScroll(scrollView);
}

void PagedContainer::changePage()
{
    const int page = m_pageControl->currentPage();
    const double w = m_scrollView->width();
    const double h = m_scrollView->height();
    m_pageControlUsed = true; // before the scroll starts, which reports its first step at once
    m_scrollView->scrollRectToVisible(QRectF(double(float(page) * float(w)), 0, w, h), true);
}

void PagedContainer::backgroundColorSet()
{
    m_scrollView->setBackgroundColor(GlobalData::sharedGlobalData()->getBackgroundColour());
}
