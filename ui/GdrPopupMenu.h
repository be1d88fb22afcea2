// A popup menu for one scope, and texts as a menu shows them.
#pragma once

#include <windows.h>

#include <string>

namespace glo_ui {

// A popup menu for one scope (with the submenus appended to it).
class CPopupMenu {
public:
    CPopupMenu() : m_menu(CreatePopupMenu()) {}
    ~CPopupMenu() {
        if (m_menu)
            DestroyMenu(m_menu);
    }
    CPopupMenu(const CPopupMenu&) = delete;
    CPopupMenu& operator=(const CPopupMenu&) = delete;
    HMENU get() const { return m_menu; }
    // Hands the menu to a parent menu, which destroys it with itself.
    HMENU release() {
        HMENU menu = m_menu;
        m_menu = nullptr;
        return menu;
    }

private:
    HMENU m_menu;
};

// A text as a menu shows it: an ampersand of a name is no mnemonic.
inline std::wstring menuText(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text)
        escaped += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
    return escaped;
}

} // namespace glo_ui
