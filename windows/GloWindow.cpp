#include "GloWindow.h"

namespace {

// Answer of GetScrollbar when no orientation is asked for.
const CGloHWND emptyScrollbar;

const unsigned long orientationBits = WS_HSCROLL | WS_VSCROLL;

} // namespace

CGloWindow::CGloWindow() : m_vScrollbarParent(nullptr), m_hScrollbarParent(nullptr) {}

CGloWindow::CGloWindow(HWND hwnd)
    : CGloHWND(hwnd), m_vScrollbarParent(nullptr), m_hScrollbarParent(nullptr) {}

CGloWindow::CGloWindow(const CGloWindow& other)
    : CGloHWND(other), m_vScrollbar(other.m_vScrollbar),
      m_vScrollbarParent(other.m_vScrollbarParent), m_hScrollbar(other.m_hScrollbar),
      m_hScrollbarParent(other.m_hScrollbarParent) {}

CGloWindow& CGloWindow::operator=(const CGloWindow& other) {
    CGloHWND::operator=(other);
    m_vScrollbar = other.m_vScrollbar;
    m_vScrollbarParent = other.m_vScrollbarParent;
    m_hScrollbar = other.m_hScrollbar;
    m_hScrollbarParent = other.m_hScrollbarParent;
    return *this;
}

CGloWindow& CGloWindow::operator=(HWND hwnd) {
    ResetScrollbars();
    SetHWND(hwnd);
    return *this;
}

CGloWindow::~CGloWindow() {}

void CGloWindow::ResetScrollbars() {
    m_vScrollbar.SetHWND(nullptr);
    m_vScrollbarParent = nullptr;
    m_hScrollbar.SetHWND(nullptr);
    m_hScrollbarParent = nullptr;
}

void CGloWindow::SetVScrollbar(const CGloHWND& bar) {
    m_vScrollbar = bar;
}

void CGloWindow::SetHScrollbar(const CGloHWND& bar) {
    m_hScrollbar = bar;
}

const CGloHWND& CGloWindow::GetScrollbar(unsigned long bars) const {
    switch (bars & orientationBits) {
    case WS_HSCROLL:
        return m_hScrollbar;
    case WS_VSCROLL:
        return m_vScrollbar;
    case orientationBits:
        return m_hScrollbar.GetHWND() != nullptr ? m_hScrollbar : m_vScrollbar;
    default:
        return emptyScrollbar;
    }
}

void CGloWindow::SetScrollbar(const CGloHWND& bar) {
    const unsigned long orientation = bar.GetStyle();
    if (orientation & WS_HSCROLL)
        m_hScrollbar = bar;
    if (orientation & WS_VSCROLL)
        m_vScrollbar = bar;
}

bool CGloWindow::IsScrollable(unsigned long) const {
    if (CGloHWND::IsScrollable(orientationBits))
        return true;
    return m_hScrollbar.IsScrollable(orientationBits) || m_vScrollbar.IsScrollable(orientationBits);
}
