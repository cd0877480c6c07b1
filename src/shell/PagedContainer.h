// PagedContainer: what both sides of the application share: a horizontally paging scroll view
// holding the side's screens, and a page indicator that follows it and can move it.
#pragma once

#include "platform/ViewController.h"
#include "platform/widgets/ScrollViewDelegate.h"

#include <functional>
#include <vector>

class PageControl;
class ScrollView;

class PagedContainer : public ViewController, public ScrollViewDelegate
{
    Q_OBJECT
public:
    explicit PagedContainer(QObject *parent = nullptr);

    void changePage();
    void scrollViewDidScroll(ScrollView *scrollView) override;
    void scrollViewWillBeginDragging(ScrollView *scrollView) override;
    void scrollViewDidEndDecelerating(ScrollView *scrollView) override;
    void backgroundColorSet();

    [[nodiscard]] ScrollView *scrollView() const { return m_scrollView; }
    [[nodiscard]] PageControl *pageControl() const { return m_pageControl; }
    [[nodiscard]] bool pageControlUsed() const { return m_pageControlUsed; }
    [[nodiscard]] const std::vector<ViewController *> &pages() const { return m_pages; }

    // The indicator's page for a scroll offset: floor((x - w / 2) / w) + 1, the quotient and
    // the floor in single precision.
    [[nodiscard]] static int pageForOffset(double x, double w);

protected:
    struct Page
    {
        std::function<ViewController *(QObject *parent)> make;
        double extraX = 0.0; // points past the page's multiple of the width
    };
    // The set-up both sides share; called from the side's viewDidLoad with its form's controls.
    void setUpPages(
        ScrollView *scrollView, PageControl *pageControl, const std::vector<Page> &pages);

private:
    ScrollView *m_scrollView = nullptr;
    PageControl *m_pageControl = nullptr;
    bool m_pageControlUsed = false;
    std::vector<ViewController *> m_pages;
};
