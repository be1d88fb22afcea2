// Owners of GDI objects and device contexts for the dialog's drawing.
#pragma once

#include <windows.h>

namespace glo_ui {

// A pen, brush, font or bitmap that this code created; deleted with the owner.
class CGdiObject {
public:
    explicit CGdiObject(HGDIOBJ object = nullptr) : m_object(object) {}
    ~CGdiObject() { reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    void reset(HGDIOBJ object = nullptr) {
        if (m_object)
            DeleteObject(m_object);
        m_object = object;
    }
    HGDIOBJ get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    HGDIOBJ m_object;
};

// Selects an object into a device context for one scope.
class CSelection {
public:
    CSelection(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_previous(object ? SelectObject(dc, object) : nullptr) {}
    ~CSelection() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    CSelection(const CSelection&) = delete;
    CSelection& operator=(const CSelection&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// BeginPaint .. EndPaint.
class CPaintDC {
public:
    explicit CPaintDC(HWND window) : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~CPaintDC() { EndPaint(m_window, &m_paint); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC get() const { return m_dc; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint;
    HDC m_dc;
};

// A memory picture of `width` x `height` drawn off screen and copied to `target` when the owner
// goes (no flicker while the cap moves). Without memory for it, drawing goes to the target.
class CBackBuffer {
public:
    CBackBuffer(HDC target, int width, int height)
        : m_target(target), m_width(width), m_height(height), m_dc(CreateCompatibleDC(target)),
          m_bitmap(m_dc ? CreateCompatibleBitmap(target, width, height) : nullptr),
          m_previous(m_bitmap ? SelectObject(m_dc, m_bitmap.get()) : nullptr) {}
    ~CBackBuffer() {
        if (m_previous) {
            BitBlt(m_target, 0, 0, m_width, m_height, m_dc, 0, 0, SRCCOPY);
            SelectObject(m_dc, m_previous);
        }
        if (m_dc)
            DeleteDC(m_dc);
    }
    CBackBuffer(const CBackBuffer&) = delete;
    CBackBuffer& operator=(const CBackBuffer&) = delete;
    HDC get() const { return m_previous ? m_dc : m_target; }

private:
    HDC m_target;
    int m_width, m_height;
    HDC m_dc;
    CGdiObject m_bitmap;
    HGDIOBJ m_previous;
};

} // namespace glo_ui
