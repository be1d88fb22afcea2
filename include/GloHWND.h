// Window handle wrapper with cached class name, window text and style word.
#pragma once

#include "GloExport.h"

#include <windows.h>

// Does not own the window. The class name (lower-cased) and the text are read
// on first request and kept until the handle is replaced, so a wrapper keeps
// the text the window had then; build a new wrapper for fresh text. The style
// word is the wrapper's own (set by the caller or a scroll-bar test), never
// read from the window. An empty wrapper, or one on a destroyed window, has an
// empty class name and text, and every class and text test on it is false.
class GLO_API CGloHWND {
public:
    // Capacity of each cache, terminator included.
    enum { CacheLength = 260 };

    CGloHWND();
    CGloHWND(HWND hwnd);
    CGloHWND(const CGloHWND& other);
    CGloHWND& operator=(const CGloHWND& other);
    CGloHWND& operator=(HWND hwnd);

    // Replaces the handle and clears caches and style.
    void SetHWND(HWND hwnd);
    HWND GetHWND() const { return m_hwnd; }
    operator HWND() const { return m_hwnd; }

    unsigned long GetStyle() const { return m_style; }
    void SetStyle(unsigned long style) { m_style = style; }

    // Lower-cased class name; "" when it cannot be read.
    const wchar_t* GetClassNameW() const;
    // Text as answered to WM_GETTEXT, at most CacheLength - 1 characters. The
    // first request waits for the window's thread to answer.
    const wchar_t* GetWindowTextW() const;

    // Case-insensitive: `part` occurs anywhere in the class name.
    bool IsWindowClass(const wchar_t* part) const;
    // The class is exactly "scrollbar" (any case).
    bool IsScrollbar() const;
    // Case-sensitive: `part` occurs anywhere in the window text.
    bool IsWindowTitle(const wchar_t* part) const;
    // Case-sensitive: the window text equals `text`.
    bool IsWindowText(const wchar_t* text) const;
    // `parent` is the direct parent (GA_PARENT; the desktop for top-level windows).
    bool IsChild(HWND parent) const;

    // The style word has a bit of `bars` and not WS_DISABLED.
    virtual bool IsScrollable(unsigned long bars) const;

protected:
    void Reset();

private:
    bool TextReadable() const;

    HWND m_hwnd;
    mutable wchar_t m_className[CacheLength];
    mutable wchar_t m_windowText[CacheLength];
    unsigned long m_style;
};
