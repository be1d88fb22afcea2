#include "tests/support/TreeItems.h"

namespace glotest {

std::wstring itemText(HWND tree, HTREEITEM item) {
    wchar_t text[256] = L"";
    TVITEMW data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 256;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

HTREEITEM nextItem(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

std::vector<HTREEITEM> items(HWND tree, HTREEITEM parent) {
    std::vector<HTREEITEM> found;
    for (HTREEITEM item = nextItem(tree, parent, parent ? TVGN_CHILD : TVGN_ROOT); item;
         item = nextItem(tree, item, TVGN_NEXT))
        found.push_back(item);
    return found;
}

std::vector<std::wstring> children(HWND tree, HTREEITEM parent) {
    std::vector<std::wstring> texts;
    for (HTREEITEM item : items(tree, parent))
        texts.push_back(itemText(tree, item));
    return texts;
}

HTREEITEM child(HWND tree, HTREEITEM parent, const std::wstring& text) {
    for (HTREEITEM item : items(tree, parent))
        if (itemText(tree, item) == text)
            return item;
    return nullptr;
}

} // namespace glotest
