// The direction cells of the configuration dialog: what each direction does, its context menu,
// and functions dragged onto it from the tree.
#include "ui/GdrConfigDialog.h"

#include "ui/GdrConfigDialogParts.h"
#include "ui/GdrPopupMenu.h"
#include "ui/GdrTexts.h"

#include <commctrl.h>

#include <vector>

// The member, not the system's macro of the same name.
#undef DefWindowProc

namespace glo_ui {

using namespace dialog;

// On a direction: the function selected in the tree assigned there, and the setups that answer
// the direction removed.
void CGdrConfigDialog::mappingMenu(POINT point, bool fromKeyboard) {
    int direction = -1;
    if (fromKeyboard) {
        direction = m_mapping.focusDirection();
        RECT cell;
        if (!m_mapping.directionRect(direction, cell))
            return;
        point = {cell.left, cell.bottom};
        ClientToScreen(m_mapping.m_hWnd, &point);
    } else {
        POINT client = point;
        ScreenToClient(m_mapping.m_hWnd, &client);
        direction = m_mapping.directionAt(client);
    }
    const int application = selectedApplication();
    if (direction < 0 || !liveObject(application))
        return;
    const CGdrEditedApplication& edited = m_applications[application];
    CPopupMenu menu;
    if (!menu.get())
        return;
    const int entry = selectedEntry();
    const int function =
        entry >= 0 && m_entries[entry].kind != ApplicationEntry ? m_entries[entry].function : -1;
    if (edited.takesDirections(function))
        AppendMenuW(
            menu.get(), MF_STRING, kAssignCommand + direction,
            formatText(IDS_ASSIGN_HERE, menuText(edited.functionText(function)).c_str()).c_str());
    std::vector<int> listed;
    for (std::size_t s = 0; s < edited.setups.size(); ++s) {
        const CGdrEditableSetup& setup = edited.setups[s];
        if (!setup.feeds(direction))
            continue;
        if (listed.empty() && GetMenuItemCount(menu.get()) > 0)
            AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        listed.push_back(static_cast<int>(s));
        const int f = edited.findFunction(setup.getName());
        const std::wstring label = loadText(IDS_REMOVE) + L": " +
                                   menuText(f >= 0 ? edited.functionText(f) : setup.getName()) +
                                   L" \x2013 " + menuText(edited.setupText(setup));
        AppendMenuW(menu.get(), MF_STRING, kRemoveOneCommand + listed.size() - 1, label.c_str());
    }
    if (GetMenuItemCount(menu.get()) <= 0)
        return;
    const unsigned tree = m_treeVersion;
    const UINT chosen = static_cast<UINT>(trackMenu(menu.get(), point));
    if (tree != m_treeVersion)
        return;
    if (chosen == kAssignCommand + static_cast<UINT>(direction)) {
        assign(application, function, direction);
    } else if (chosen >= kRemoveOneCommand && chosen < kRemoveOneCommand + listed.size()) {
        m_removal = {m_treeVersion, application, listed[chosen - kRemoveOneCommand]};
        PostMessageW(m_hWnd, kRemoveSetupMessage, 0, 0);
    }
}

// Texts, where pushes start to count, and conflicts: all from the edited setups at once.
void CGdrConfigDialog::showMapping() {
    const int application = selectedApplication();
    const bool live = liveObject(application) != nullptr;
    for (int direction = 0; direction < kGdrDirections; ++direction) {
        const CGdrEditedApplication* edited = live ? &m_applications[application] : nullptr;
        m_mapping.setText(direction, edited ? edited->directionText(direction) : L"");
        m_mapping.setStart(
            direction, edited ? edited->startLevel(direction, CGdrAxisMappingCtl::kFullScale) : -1);
        m_mapping.setClaims(direction, edited ? edited->claims(direction) : 0);
    }
    showSpeed();
}

void CGdrConfigDialog::assign(int application, int function, int direction) {
    if (!liveObject(application))
        return;
    const int setup = m_applications[application].assign(function, direction);
    if (setup < 0)
        return;
    m_applications[application].dirty = true;
    rebuildTree(application, function, setup);
    updateButtons();
}

void CGdrConfigDialog::beginDrag(int entry, HTREEITEM item) {
    if (entry < 0 || entry >= static_cast<int>(m_entries.size()) ||
        m_entries[entry].kind != FunctionEntry ||
        !m_applications[m_entries[entry].application].takesDirections(m_entries[entry].function))
        return;
    // Selected, the function's application shows in the mapping while the drag lasts.
    SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    m_dragging = true;
    m_dragEntry = entry;
    m_dragTree = m_treeVersion;
    m_dragDirection = -1;
    SetCapture(m_hWnd);
    SetCursor(LoadCursorW(nullptr, IDC_NO));
}

int CGdrConfigDialog::dropDirectionAt(LPARAM dialogPoint) {
    POINT point = {static_cast<short>(LOWORD(dialogPoint)),
                   static_cast<short>(HIWORD(dialogPoint))};
    ClientToScreen(m_hWnd, &point);
    ScreenToClient(m_mapping.m_hWnd, &point);
    return m_mapping.directionAt(point);
}

LRESULT CGdrConfigDialog::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    if (!m_dragging)
        return DefWindowProc(WM_MOUSEMOVE, wParam, lParam);
    m_dragDirection = dropDirectionAt(lParam);
    m_mapping.setDropTarget(m_dragDirection, true);
    SetCursor(LoadCursorW(nullptr, m_dragDirection >= 0 ? IDC_ARROW : IDC_NO));
    return 0;
}

LRESULT CGdrConfigDialog::OnLeftButtonUp(WPARAM wParam, LPARAM lParam) {
    if (!m_dragging)
        return DefWindowProc(WM_LBUTTONUP, wParam, lParam);
    m_dragDirection = dropDirectionAt(lParam);
    endDrag(true);
    return 0;
}

LRESULT CGdrConfigDialog::OnCaptureChanged(WPARAM wParam, LPARAM lParam) {
    if (m_dragging && reinterpret_cast<HWND>(lParam) != m_hWnd)
        endDrag(false); // another window took the mouse: the drag is over
    return DefWindowProc(WM_CAPTURECHANGED, wParam, lParam);
}

void CGdrConfigDialog::endDrag(bool dropIt) {
    if (!m_dragging)
        return;
    m_dragging = false;
    const int direction = m_dragDirection;
    const int entry = m_dragEntry;
    m_mapping.setDropTarget(-1, false);
    if (GetCapture() == m_hWnd)
        ReleaseCapture();
    if (!dropIt || direction < 0 || m_dragTree != m_treeVersion || entry < 0 ||
        entry >= static_cast<int>(m_entries.size()))
        return;
    const TreeEntry e = m_entries[entry];
    assign(e.application, e.function, direction);
}

} // namespace glo_ui
