// What a view of another program holds, as a plug-in author needs to know it before trying a
// scrolling function there: content put into an empty view, and whether the view can scroll.
#pragma once

#include <windows.h>

#include <string>

namespace probe {

// Fills an empty view with `count` numbered lines or items: a text ("Edit", "RichEdit..."), a
// list box that keeps strings, a list view or a tree view. A view that already holds something,
// or whose items are its program's own data (owner-drawn lists, virtual list views), stays as it
// is. False when nothing was added.
bool fillView(HWND view, int count);

// Whether `window` has anything to scroll, as far as can be seen from outside: "yes", "no" or
// "unknown", with what was seen ("it holds 3 items and has room for 14").
struct Scrollability {
    const char* answer;
    std::string seen;
};
Scrollability scrollability(HWND window);

} // namespace probe
