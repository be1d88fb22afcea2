// Scroll-bar finders: find the separate "scrollbar" controls that belong to the window that
// really scrolls, also where a program wraps them in frames of its own.
#pragma once

#include <windows.h>

#include <cstddef>

#include "GloExport.h"
#include "GloWindow.h"

// Orientation masks (`bars`) use the window-style bits: WS_HSCROLL for horizontal, WS_VSCROLL
// for vertical, both for either. In a search record WS_DISABLED also admits disabled bars.

// Record of the enumeration callbacks, handed over through their LPARAM.
struct GLO_ScrollbarSearch {
    unsigned size;      // sizeof(GLO_ScrollbarSearch); any other size stops the enumeration
    unsigned bars;      // orientation mask, optionally with WS_DISABLED
    HWND found;         // out: the window or scroll bar that ended the search; null before
    RECT rect;          // screen rectangle of the scrolled window; right = bottom = 0: no
                        // overlap test
    CGloWindow* window; // the window whose bar is looked for; receives the result
};

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(GLO_ScrollbarSearch) == 32, "scroll-bar search record size");
static_assert(offsetof(GLO_ScrollbarSearch, found) == 8 &&
                  offsetof(GLO_ScrollbarSearch, rect) == 12 &&
                  offsetof(GLO_ScrollbarSearch, window) == 28,
              "scroll-bar search record layout");
#endif

// The general finder. Stateless; the searches change only the CGloWindow they are given and
// the style word of a tested bar. The order of the virtual operations is part of the plug-in
// interface; the destructor is not virtual.
class GLO_API CGlo_WindowClass {
public:
    CGlo_WindowClass();
    ~CGlo_WindowClass();

    // Continues (TRUE) past anything but a direct child scroll bar of the record's window
    // that passes the record's mask and rectangle; that one becomes `found` and the window's
    // bar of its orientation (unmarked), and the enumeration stops. A null or malformed record
    // stops at the first scroll bar met.
    static BOOL CALLBACK EnumChildScrollbarProc(HWND window, LPARAM search);

protected:
    // Among the children of `parent` (other than `window` itself) and the first child of each,
    // the first scroll bar beside `window` per wanted orientation, filed into `window`; the
    // horizontal one if found, else the vertical one, else null.
    virtual HWND FindChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window);
    // `bar` is a scroll-bar control of a wanted orientation lying alongside `rect`; its style
    // word is then marked with the orientation, plus WS_DISABLED when it is disabled or hidden.
    virtual bool IsWindowScrollbar(CGloHWND& bar, RECT& rect, unsigned long bars);
};

// Views whose bars sit inside "AVL_AVScrollBar" frames (the PDF viewer).
class GLO_API CGlo_AcrobatClass : public CGlo_WindowClass {
public:
    // The bar inside the first "AVL_AVScrollBar" child of `parent` that passes the test with
    // the full mask, filed into `window`; or null.
    HWND FindChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window) override;
    // The window's class, or its parent's, contains "AVL_AV".
    bool IsThisWindowClass(const CGloHWND& window);
};

// The layout program: classes containing "pagemaker".
class GLO_API CGlo_PageMakerClass : public CGlo_WindowClass {
public:
    // The first direct-child scroll bar of `parent` beside `window`; `window` is not changed.
    HWND FindChildScrollbar(HWND parent, unsigned long bars, CGloWindow& window) override;
    bool IsThisWindowClass(const CGloHWND& window);
};
