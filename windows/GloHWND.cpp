#include "GloHWND.h"

#include "windows/GloBoundedSend.h"

#include <cwchar>
#include <cwctype>

namespace {

// Copies up to the terminator, at most `CacheLength` characters; the result is
// always terminated, even from a source that is not.
void copyCache(wchar_t* target, const wchar_t* source) {
    int i = 0;
    for (; i < CGloHWND::CacheLength && source[i] != L'\0'; ++i)
        target[i] = source[i];
    target[i < CGloHWND::CacheLength ? i : CGloHWND::CacheLength - 1] = L'\0';
}

// Terminates a buffer after a system call that answered `length` characters.
void terminateAt(wchar_t* buffer, LRESULT length) {
    if (length < 0)
        length = 0;
    if (length > CGloHWND::CacheLength - 1)
        length = CGloHWND::CacheLength - 1;
    buffer[length] = L'\0';
}

void lowerInPlace(wchar_t* text) {
    for (; *text != L'\0'; ++text)
        *text = static_cast<wchar_t>(std::towlower(*text));
}

} // namespace

CGloHWND::CGloHWND() {
    Reset();
}

CGloHWND::CGloHWND(HWND hwnd) {
    Reset();
    m_hwnd = hwnd;
}

CGloHWND::CGloHWND(const CGloHWND& other) : m_hwnd(other.m_hwnd), m_style(other.m_style) {
    copyCache(m_className, other.m_className);
    copyCache(m_windowText, other.m_windowText);
}

CGloHWND& CGloHWND::operator=(const CGloHWND& other) {
    if (this != &other) {
        m_hwnd = other.m_hwnd;
        copyCache(m_className, other.m_className);
        copyCache(m_windowText, other.m_windowText);
        m_style = other.m_style;
    }
    return *this;
}

CGloHWND& CGloHWND::operator=(HWND hwnd) {
    SetHWND(hwnd);
    return *this;
}

void CGloHWND::SetHWND(HWND hwnd) {
    Reset();
    m_hwnd = hwnd;
}

void CGloHWND::Reset() {
    m_hwnd = nullptr;
    m_className[0] = L'\0';
    m_windowText[0] = L'\0';
    m_style = 0;
}

const wchar_t* CGloHWND::GetClassNameW() const {
    // An empty wrapper is never written to: the library's shared empty
    // wrapper is read from several threads.
    if (m_className[0] == L'\0' && m_hwnd != nullptr) {
        terminateAt(m_className, ::GetClassNameW(m_hwnd, m_className, CacheLength));
        lowerInPlace(m_className);
    }
    return m_className;
}

// A program that has stopped answering must not hold the caller (a plug-in's match runs on
// the driver's thread): the send is bounded, and the text the system keeps for the window
// stands in when it gives up.
const wchar_t* CGloHWND::GetWindowTextW() const {
    if (m_windowText[0] == L'\0' && m_hwnd != nullptr) {
        LRESULT length = 0;
        if (!glo_windows::sendBounded(m_hwnd, WM_GETTEXT, CacheLength,
                                      reinterpret_cast<LPARAM>(m_windowText), &length))
            length = ::InternalGetWindowText(m_hwnd, m_windowText, CacheLength);
        terminateAt(m_windowText, length);
    }
    return m_windowText;
}

bool CGloHWND::IsWindowClass(const wchar_t* part) const {
    if (part == nullptr)
        return false;
    const wchar_t* className = GetClassNameW();
    if (className[0] == L'\0')
        return false;
    wchar_t lowered[CacheLength];
    std::wcsncpy(lowered, part, CacheLength - 1);
    lowered[CacheLength - 1] = L'\0';
    lowerInPlace(lowered);
    return std::wcsstr(className, lowered) != nullptr;
}

bool CGloHWND::IsScrollbar() const {
    return std::wcscmp(GetClassNameW(), L"scrollbar") == 0;
}

// An empty text is a real answer only from a live window.
bool CGloHWND::TextReadable() const {
    return GetWindowTextW()[0] != L'\0' || (m_hwnd != nullptr && ::IsWindow(m_hwnd));
}

bool CGloHWND::IsWindowTitle(const wchar_t* part) const {
    return part != nullptr && TextReadable() && std::wcsstr(m_windowText, part) != nullptr;
}

bool CGloHWND::IsWindowText(const wchar_t* text) const {
    return text != nullptr && TextReadable() && std::wcscmp(m_windowText, text) == 0;
}

bool CGloHWND::IsChild(HWND parent) const {
    if (m_hwnd == nullptr || parent == nullptr)
        return false;
    return ::GetAncestor(m_hwnd, GA_PARENT) == parent;
}

bool CGloHWND::IsScrollable(unsigned long bars) const {
    return (m_style & bars) != 0 && (m_style & WS_DISABLED) == 0;
}
