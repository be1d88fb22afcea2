// Lists that scroll without a scroll bar. A list box made without a scroll-bar style (the
// always-shown list of a simple combo box, say) still scrolls: its keys and the system's wheel
// move it, and so do scroll messages sent to it, while scroll-bar searches find nothing beside
// it. Whether it has anything to scroll is read from outside through its list messages.
#pragma once

#include <windows.h>

#include "GloHWND.h"

namespace glo_windows {

// A list box (a combo box's list too) without a scroll-bar style, one entry below the other.
// The class is the wrapper's cached one; the style is read.
bool isListWithoutBar(const CGloHWND& window);

// Such a list holding more entries than it shows, so that it can be scrolled.
bool scrollsWithoutBar(const CGloHWND& window);

} // namespace glo_windows
