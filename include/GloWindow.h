// A window that can be scrolled, with its separate scroll-bar controls.
#pragma once

#include "GloExport.h"
#include "GloHWND.h"

#include <windows.h>

// The base part is the scrolled window itself. Many applications draw their
// scroll bars as separate "scrollbar" controls beside the view; those are kept
// here with a parent window the caller recorded for each. A bar's style word
// tells its orientation (WS_VSCROLL or WS_HSCROLL, plus WS_DISABLED when it
// cannot be used).
class GLO_API CGloWindow : public CGloHWND {
public:
    CGloWindow();
    CGloWindow(HWND hwnd);
    CGloWindow(const CGloWindow& other);
    CGloWindow& operator=(const CGloWindow& other);
    // Replaces the window and forgets its scroll bars and their parents.
    CGloWindow& operator=(HWND hwnd);
    virtual ~CGloWindow();

    const CGloHWND& GetVScrollbar() const { return m_vScrollbar; }
    const CGloHWND& GetHScrollbar() const { return m_hScrollbar; }
    HWND GetVScrollbarParent() const { return m_vScrollbarParent; }
    HWND GetHScrollbarParent() const { return m_hScrollbarParent; }
    void SetVScrollbar(const CGloHWND& bar);
    void SetHScrollbar(const CGloHWND& bar);
    void SetVScrollbarParent(HWND parent) { m_vScrollbarParent = parent; }
    void SetHScrollbarParent(HWND parent) { m_hScrollbarParent = parent; }

    // WS_HSCROLL: the horizontal bar; WS_VSCROLL: the vertical bar; both: the
    // horizontal bar if there is one, else the vertical; neither: an empty
    // wrapper shared by the whole library.
    const CGloHWND& GetScrollbar(unsigned long bars) const;
    // Files `bar` by the orientation bits of its style word (both bits: both
    // slots; none: nothing is stored).
    void SetScrollbar(const CGloHWND& bar);

    // The window's own style word, else either bar, is scrollable; `bars` is
    // not consulted (both orientations always count).
    bool IsScrollable(unsigned long bars) const override;

private:
    void ResetScrollbars();

    CGloHWND m_vScrollbar;
    HWND m_vScrollbarParent;
    CGloHWND m_hScrollbar;
    HWND m_hScrollbarParent;
};
