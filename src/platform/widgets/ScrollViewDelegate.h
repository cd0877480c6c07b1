// ScrollViewDelegate: what a ScrollView tells the screen that owns it.
#pragma once

class ScrollView;

class ScrollViewDelegate
{
public:
    virtual ~ScrollViewDelegate() = default;

    // The content offset changed, by the user, by an animation or by the program.
    virtual void scrollViewDidScroll(ScrollView *) { }
    virtual void scrollViewWillBeginDragging(ScrollView *) { }
    // A drag was let go and the content has come to rest.
    virtual void scrollViewDidEndDecelerating(ScrollView *) { }
};
