// The function tree of the configuration dialog: the applications, their functions, setups
// and key combinations; selection, the context menu, removal.
#include "ui/GdrConfigDialog.h"

#include "ui/GdrConfigDialogParts.h"
#include "ui/GdrPopupMenu.h"
#include "ui/GdrTexts.h"

#include <commctrl.h>

#include <cwchar>

namespace glo_ui {

using namespace dialog;

LRESULT CGdrConfigDialog::OnNotify(WPARAM, LPARAM lParam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->hwndFrom != m_tree)
        return 0;
    switch (header->code) {
    case TVN_BEGINDRAGW: {
        const NMTREEVIEWW* view = reinterpret_cast<const NMTREEVIEWW*>(lParam);
        beginDrag(static_cast<int>(view->itemNew.lParam), view->itemNew.hItem);
        return 0;
    }
    case TVN_SELCHANGEDW:
        if (!m_refreshing) {
            showMapping();
            showSetupControls();
            updateStatus();
        }
        return 0;
    case TVN_ITEMEXPANDEDW: {
        const NMTREEVIEWW* view = reinterpret_cast<const NMTREEVIEWW*>(lParam);
        const int entry = static_cast<int>(view->itemNew.lParam);
        if (!m_refreshing && entry >= 0 && entry < static_cast<int>(m_entries.size()) &&
            m_entries[entry].kind == ApplicationEntry)
            m_applications[m_entries[entry].application].expanded =
                (view->itemNew.state & TVIS_EXPANDED) != 0;
        return 0;
    }
    case TVN_KEYDOWN:
        if (reinterpret_cast<const NMTVKEYDOWN*>(lParam)->wVKey == VK_DELETE) {
            const int entry = selectedEntry();
            if (entry >= 0 && m_entries[entry].kind == KeysEntry) {
                CGdrEditedApplication& edited = m_applications[m_entries[entry].application];
                edited.keys[m_entries[entry].setup] = {};
                edited.keysDirty = true;
                PostMessageW(m_hWnd, kRemoveSetupMessage, kRebuildOnly, 0); // outside the tree
            } else {
                requestRemoval(entry);
            }
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

// On a function: its assignment to a direction; on a setup also Reverse and Remove; on an
// application its built-in setups.
void CGdrConfigDialog::treeMenu(POINT point, bool fromKeyboard) {
    if (fromKeyboard) {
        // TVM_GETITEMRECT takes the item in the rectangle's place.
        union {
            RECT rect;
            HTREEITEM item;
        } place;
        place.item =
            reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        if (!place.item ||
            !SendMessageW(m_tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&place.rect)))
            return;
        point = {place.rect.left, place.rect.bottom};
        ClientToScreen(m_tree, &point);
    } else {
        TVHITTESTINFO hit = {};
        hit.pt = point;
        ScreenToClient(m_tree, &hit.pt);
        HTREEITEM item = reinterpret_cast<HTREEITEM>(
            SendMessageW(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (!item)
            return;
        SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    }
    const int entryIndex = selectedEntry();
    if (entryIndex < 0)
        return;
    const TreeEntry entry = m_entries[entryIndex];
    const CGdrEditedApplication& application = m_applications[entry.application];
    CPopupMenu menu;
    if (!menu.get())
        return;
    if (entry.kind == ApplicationEntry) {
        AppendMenuW(menu.get(), MF_STRING | (liveObject(entry.application) ? 0 : MF_GRAYED),
                    kRestoreCommand, loadText(IDS_RESTORE_DEFAULTS).c_str());
    }
    const bool buttonEntry =
        entry.kind == KeysEntry ||
        (entry.kind == SetupEntry && application.setups[entry.setup].isButton()) ||
        (entry.kind == FunctionEntry && !application.takesDirections(entry.function));
    if (entry.kind == ApplicationEntry || buttonEntry) {
        wchar_t keysLabel[64] = L"";
        GetDlgItemTextW(m_hWnd, IDC_KEY_COMBINATION, keysLabel, 64);
        AppendMenuW(menu.get(), MF_STRING | (liveObject(entry.application) ? 0 : MF_GRAYED),
                    kKeysCommand, keysLabel);
    }
    const bool motion = entry.kind == SetupEntry && !application.setups[entry.setup].isButton();
    if ((entry.kind == FunctionEntry || motion) && application.takesDirections(entry.function)) {
        CPopupMenu directions;
        for (int direction = 0; direction < kGdrDirections; ++direction) {
            const std::wstring does = application.directionText(direction);
            AppendMenuW(directions.get(), MF_STRING, kAssignCommand + direction,
                        (badgeOf(direction) + L"\t" +
                         menuText(does.empty() ? loadText(IDS_NOT_ASSIGNED) : does))
                            .c_str());
        }
        AppendMenuW(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(directions.get()),
                    loadText(IDS_ASSIGN_TO).c_str());
        directions.release();
    }
    if (motion) {
        const CGdrEditableSetup& setup = application.setups[entry.setup];
        if (setup.slots() == 1) {
            AppendMenuW(menu.get(), MF_STRING, kReverseCommand, loadText(IDS_REVERSE).c_str());
        } else {
            CPopupMenu slots;
            for (int slot = 0; slot < setup.slots(); ++slot)
                AppendMenuW(slots.get(), MF_STRING, kReverseCommand + slot,
                            menuText(application.slotText(setup, slot)).c_str());
            AppendMenuW(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(slots.get()),
                        loadText(IDS_REVERSE).c_str());
            slots.release();
        }
    }
    if (entry.kind == SetupEntry || entry.kind == KeysEntry) {
        AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu.get(), MF_STRING | (motion || entry.kind == KeysEntry ? 0 : MF_GRAYED),
                    kRemoveCommand, loadText(IDS_REMOVE).c_str());
    }
    if (GetMenuItemCount(menu.get()) <= 0)
        return;
    const unsigned tree = m_treeVersion;
    const SetupChoice choice = {tree, entry.application, entry.setup};
    const UINT chosen = static_cast<UINT>(trackMenu(menu.get(), point));
    if (tree != m_treeVersion)
        return; // the menu's loop let the table change: the entry may mean something else
    if (chosen == kRestoreCommand) {
        restoreDefaults(entry.application);
    } else if (chosen == kKeysCommand) {
        editKeys();
    } else if (chosen == kRemoveCommand && entry.kind == KeysEntry) {
        m_applications[entry.application].keys[entry.setup] = {};
        m_applications[entry.application].keysDirty = true;
        rebuildTree(entry.application, -1, -1);
        updateButtons();
    } else if (chosen == kRemoveCommand) {
        requestRemoval(entryIndex);
    }
    if (chosen >= kAssignCommand && chosen < kAssignCommand + kGdrDirections)
        assign(entry.application, entry.function, static_cast<int>(chosen - kAssignCommand));
    else if (chosen >= kReverseCommand && chosen < kReverseCommand + 6)
        reverse(choice, static_cast<int>(chosen - kReverseCommand));
}

void CGdrConfigDialog::rebuildTree(int selectApplication, int selectFunction, int selectSetup) {
    if (gloLoadedProgramTableGeneration() != m_tableGeneration) {
        syncApplications(-1); // built from the table as it is now, or every entry would be gone
        return;
    }
    ++m_treeVersion;
    m_refreshing = true;
    SendMessageW(m_tree, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    m_entries.clear();
    auto insert = [this](HTREEITEM parent, const std::wstring& text, int entry) {
        TVINSERTSTRUCTW item = {};
        item.hParent = parent;
        item.hInsertAfter = TVI_LAST;
        item.item.mask = TVIF_TEXT | TVIF_PARAM;
        item.item.pszText = const_cast<wchar_t*>(text.c_str());
        item.item.lParam = entry;
        HTREEITEM inserted = reinterpret_cast<HTREEITEM>(
            SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (entry >= 0)
            m_entries[static_cast<std::size_t>(entry)].item = inserted;
        return inserted;
    };
    auto expand = [this](HTREEITEM item) {
        SendMessageW(m_tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    };

    HTREEITEM selection = nullptr;
    for (std::size_t a = 0; a < m_applications.size(); ++a) {
        CGdrEditedApplication& application = m_applications[a];
        if (!liveObject(static_cast<int>(a)))
            continue; // gone, out of use, or a library whose "load" gave no application
        const int app = static_cast<int>(a);
        m_entries.push_back({ApplicationEntry, app, -1, -1, nullptr});
        HTREEITEM appItem = insert(TVI_ROOT, application.name, int(m_entries.size()) - 1);
        if (app == selectApplication)
            selection = appItem;
        std::vector<HTREEITEM> withSetups;
        for (std::size_t f = 0; f < application.functions.size(); ++f) {
            m_entries.push_back({FunctionEntry, app, static_cast<int>(f), -1, nullptr});
            HTREEITEM functionItem = insert(appItem, application.functionText(static_cast<int>(f)),
                                            int(m_entries.size()) - 1);
            if (app == selectApplication && static_cast<int>(f) == selectFunction)
                selection = functionItem;
            for (std::size_t s = 0; s < application.setups.size(); ++s) {
                const CGdrEditableSetup& setup = application.setups[s];
                if (std::wcscmp(setup.getName(), application.functions[f].getName()) != 0 ||
                    !application.shows(setup))
                    continue;
                m_entries.push_back(
                    {SetupEntry, app, static_cast<int>(f), static_cast<int>(s), nullptr});
                HTREEITEM setupItem =
                    insert(functionItem, application.setupText(setup), int(m_entries.size()) - 1);
                if (app == selectApplication && static_cast<int>(s) == selectSetup)
                    selection = setupItem;
                if (withSetups.empty() || withSetups.back() != functionItem)
                    withSetups.push_back(functionItem);
            }
        }
        // The buttons with a key combination of the user's, by their keys' names.
        for (int b = 0; b < kGdrButtons; ++b) {
            if (application.keys[b].key == 0)
                continue;
            m_entries.push_back({KeysEntry, app, -1, b, nullptr});
            HTREEITEM keysItem = insert(
                appItem,
                formatText(
                    IDS_BUTTON_KEYS, b,
                    keysText(application.keys[b].modifiers, application.keys[b].key).c_str()),
                int(m_entries.size()) - 1);
            if (app == selectApplication && selectFunction < 0 && selectSetup == -2 - b)
                selection = keysItem;
        }
        for (HTREEITEM item : withSetups)
            expand(item);
        if (application.expanded || app == selectApplication) {
            expand(appItem);
            application.expanded = true;
        }
    }
    if (m_entries.empty())
        insert(TVI_ROOT, loadText(IDS_NO_PLUGINS), -1);
    SendMessageW(m_tree, WM_SETREDRAW, TRUE, 0);
    if (selection) {
        SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selection));
        SendMessageW(m_tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(selection));
    }
    InvalidateRect(m_tree, nullptr, TRUE);
    m_refreshing = false;
    showMapping();
    showSetupControls();
    updateStatus();
}

int CGdrConfigDialog::selectedEntry() {
    HTREEITEM item =
        reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item)
        return -1;
    TVITEMW data = {};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    if (!SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data)))
        return -1;
    const int entry = static_cast<int>(data.lParam);
    return entry >= 0 && entry < static_cast<int>(m_entries.size()) ? entry : -1;
}

int CGdrConfigDialog::selectedApplication() {
    const int entry = selectedEntry();
    const int application = entry >= 0 ? m_entries[entry].application : -1;
    return application < static_cast<int>(m_applications.size()) ? application : -1;
}

int CGdrConfigDialog::selectedSetup(int& application) {
    const int entry = selectedEntry();
    application = entry >= 0 ? m_entries[entry].application : -1;
    if (entry < 0 || m_entries[entry].kind == ApplicationEntry)
        return -1;
    const CGdrEditedApplication& edited = m_applications[application];
    if (m_entries[entry].kind == SetupEntry)
        return edited.setups[m_entries[entry].setup].isButton() ? -1 : m_entries[entry].setup;
    int only = -1;
    const wchar_t* name = edited.functions[m_entries[entry].function].getName();
    for (std::size_t s = 0; s < edited.setups.size(); ++s) {
        if (edited.setups[s].isButton() || std::wcscmp(edited.setups[s].getName(), name) != 0)
            continue;
        if (only >= 0)
            return -1;
        only = static_cast<int>(s);
    }
    return only;
}

bool CGdrConfigDialog::stillMeans(const SetupChoice& choice) const {
    return choice.tree == m_treeVersion && choice.application >= 0 &&
           choice.application < static_cast<int>(m_applications.size()) && choice.setup >= 0 &&
           choice.setup < static_cast<int>(m_applications[choice.application].setups.size());
}

void CGdrConfigDialog::setupChanged(int application, int setup) {
    CGdrEditedApplication& edited = m_applications[application];
    edited.dirty = true;
    for (const TreeEntry& entry : m_entries)
        if (entry.kind == SetupEntry && entry.application == application && entry.setup == setup) {
            const std::wstring text = edited.setupText(edited.setups[setup]);
            TVITEMW item = {};
            item.mask = TVIF_TEXT;
            item.hItem = entry.item;
            item.pszText = const_cast<wchar_t*>(text.c_str());
            SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
    showMapping();
    updateStatus();
    updateButtons();
}

// Removal waits for a posted message: the tree must not lose its items inside its own
// notifications.
void CGdrConfigDialog::requestRemoval(int entry) {
    if (entry < 0 || entry >= static_cast<int>(m_entries.size()) ||
        m_entries[entry].kind != SetupEntry)
        return;
    m_removal = {m_treeVersion, m_entries[entry].application, m_entries[entry].setup};
    PostMessageW(m_hWnd, kRemoveSetupMessage, 0, 0);
}

LRESULT CGdrConfigDialog::OnRemoveSetup(WPARAM wParam, LPARAM) {
    if (wParam == kRebuildOnly) {
        rebuildTree(selectedApplication(), -1, -1);
        updateButtons();
        return 0;
    }
    const SetupChoice choice = m_removal;
    m_removal = {0, -1, -1};
    if (!stillMeans(choice) || !liveObject(choice.application))
        return 0;
    CGdrEditedApplication& application = m_applications[choice.application];
    const CGdrEditableSetup& setup = application.setups[choice.setup];
    if (setup.isButton()) {
        MessageBeep(MB_OK); // button setups are the plug-in's own, rebuilt on every load
        return 0;
    }
    // The function keeps the selection, so that the next assignment goes where the user looks.
    const int function = application.findFunction(setup.getName());
    application.setups.erase(application.setups.begin() + choice.setup);
    application.dirty = true;
    rebuildTree(choice.application, function, -1);
    updateButtons();
    return 0;
}

} // namespace glo_ui
