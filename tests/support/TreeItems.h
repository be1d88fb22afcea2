// Items of a tree-view control by their texts, as a user finds them in the configuration dialog.
#pragma once

#include <windows.h>
// (needs the types of windows.h)
#include <commctrl.h>

#include <string>
#include <vector>

namespace glotest {

std::wstring itemText(HWND tree, HTREEITEM item);
// TVM_GETNEXTITEM: the item `how` (TVGN_CHILD, TVGN_NEXT, TVGN_CARET ...) from `item`.
HTREEITEM nextItem(HWND tree, HTREEITEM item, UINT how);
// The children of `parent` (null: the top level), their texts, and the one with `text`.
std::vector<HTREEITEM> items(HWND tree, HTREEITEM parent);
std::vector<std::wstring> children(HWND tree, HTREEITEM parent);
HTREEITEM child(HWND tree, HTREEITEM parent, const std::wstring& text);

} // namespace glotest
