#include "ui/GdrConfigDialog.h"

#include "GdrProxy.h"
#include "GloPluginFunction.h"
#include "host/GloPluginHost.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <memory>

// The member, not the system's macro of the same name.
#undef DefWindowProc

namespace glo_ui {

namespace {

const UINT kLiveMotionMessage = WM_APP + 1;
const UINT kRemoveSetupMessage = WM_APP + 2;
const UINT_PTR kFrameTimer = 1;
const wchar_t kHomeKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const wchar_t kHomeValue[] = L"Home Directory";
const wchar_t kAxisLetters[] = L"xyzabc";
const wchar_t kMinus[] = L"\x2212";

// The dialog of the process; its window may be gone already (it is freed at the next open).
CGdrConfigDialog* s_dialog = nullptr;
HHOOK s_keysHook = nullptr;
HWND s_keysDialog = nullptr;

// Written by the driver's thread, read by the dialog's: the latest values, and whether a wake-up
// is on its way (so that at most one message is ever queued).
struct LiveMotion {
    std::atomic<int> values[6];
    std::atomic<int> posted;
};
LiveMotion s_live;

std::wstring loadString(UINT id) {
    wchar_t text[256] = L"";
    LoadStringW(CWnd::GetResourceInstance(), id, text, 256);
    return text;
}

std::wstring badge(int axis, int polarity) {
    std::wstring text(1, axis >= 0 && axis < 6 ? kAxisLetters[axis] : L'?');
    return text + (polarity < 0 ? kMinus : L"+");
}

// Milliseconds finer than the tick count, which moves in steps as long as a frame.
ULONGLONG nowMs() {
    LARGE_INTEGER counter, frequency;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&counter))
        return GetTickCount64();
    const ULONGLONG c = static_cast<ULONGLONG>(counter.QuadPart);
    const ULONGLONG f = static_cast<ULONGLONG>(frequency.QuadPart);
    return c / f * 1000 + c % f * 1000 / f;
}

// A registry key open for one read.
class CRegistryKey {
public:
    CRegistryKey(HKEY root, const wchar_t* path) : m_key(nullptr) {
        if (RegOpenKeyExW(root, path, 0, KEY_READ, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~CRegistryKey() {
        if (m_key)
            RegCloseKey(m_key);
    }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    HKEY get() const { return m_key; }

private:
    HKEY m_key;
};

// The driver's home directory without a trailing backslash; empty when the registry names none.
// (Quietly: the dialog reports a missing model itself.)
std::wstring homeDirectory() {
    CRegistryKey key(HKEY_LOCAL_MACHINE, kHomeKey);
    if (!key.get())
        return L"";
    wchar_t value[MAX_PATH + 1] = L"";
    DWORD bytes = MAX_PATH * sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), kHomeValue, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                         &bytes) != ERROR_SUCCESS)
        return L"";
    value[bytes / sizeof(wchar_t)] = L'\0';
    std::wstring home = value;
    while (!home.empty() && (home.back() == L'\\' || home.back() == L'/'))
        home.pop_back();
    return home;
}

// The working directory for one scope: applications write their configuration file by its bare
// name, and they read it in the plug-in folder (that is where the host loads them).
class CWorkingDirectory {
public:
    explicit CWorkingDirectory(const std::wstring& path) : m_changed(false) {
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, m_previous);
        if (!path.empty() && length > 0 && length < MAX_PATH)
            m_changed = SetCurrentDirectoryW(path.c_str()) != FALSE;
    }
    ~CWorkingDirectory() {
        if (m_changed)
            SetCurrentDirectoryW(m_previous);
    }
    CWorkingDirectory(const CWorkingDirectory&) = delete;
    CWorkingDirectory& operator=(const CWorkingDirectory&) = delete;

private:
    wchar_t m_previous[MAX_PATH];
    bool m_changed;
};

// A popup menu for one scope.
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

private:
    HMENU m_menu;
};

// The tree view lives in the common controls, loaded when a dialog first opens: the driver's
// process pays nothing for them until then. The library stays loaded for the process.
bool loadCommonControls() {
    static HMODULE s_controls = nullptr;
    if (!s_controls)
        s_controls = LoadLibraryW(L"comctl32.dll");
    if (!s_controls)
        return false;
    typedef BOOL(WINAPI * InitProc)(const INITCOMMONCONTROLSEX*);
    const auto init = reinterpret_cast<InitProc>(
        reinterpret_cast<void*>(GetProcAddress(s_controls, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
    return init && init(&controls);
}

bool registerDialogClass() {
    const HINSTANCE instance = CWnd::GetResourceInstance();
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, GDR_CONFIG_DIALOG_CLASS, &existing))
        return true;
    WNDCLASSEXW dialogClass = {};
    dialogClass.cbSize = sizeof(dialogClass);
    dialogClass.style = CS_DBLCLKS;
    dialogClass.lpfnWndProc = &CWnd::StandardWindowProc;
    dialogClass.cbWndExtra = DLGWINDOWEXTRA;
    dialogClass.hInstance = instance;
    dialogClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    dialogClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    dialogClass.lpszClassName = GDR_CONFIG_DIALOG_CLASS;
    return RegisterClassExW(&dialogClass) != 0;
}

// Whether a menu or a move of a window runs its own loop on this thread: its keys are its own.
bool inNestedLoop() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) &&
           (info.flags &
            (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE)) != 0;
}

// Tab, Enter and Escape for a modeless dialog in a message loop that is not the dialog's own.
LRESULT CALLBACK dialogKeysProc(int code, WPARAM wParam, LPARAM lParam) {
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    const HWND dialog = s_keysDialog;
    if (code == HC_ACTION && wParam == PM_REMOVE && msg && dialog && msg->message >= WM_KEYFIRST &&
        msg->message <= WM_KEYLAST && (msg->hwnd == dialog || IsChild(dialog, msg->hwnd)) &&
        !inNestedLoop() && IsDialogMessageW(dialog, msg)) {
        msg->message = WM_NULL;
        msg->wParam = 0;
        msg->lParam = 0;
    }
    return CallNextHookEx(s_keysHook, code, wParam, lParam);
}

void unhookKeys() {
    if (s_keysHook)
        UnhookWindowsHookEx(s_keysHook);
    s_keysHook = nullptr;
    s_keysDialog = nullptr;
}

} // namespace

bool CGdrConfigDialog::open(CGdrProxy& proxy, HWND parent) {
    try {
        if (s_dialog && s_dialog->m_hWnd && IsWindow(s_dialog->m_hWnd)) {
            ShowWindow(s_dialog->m_hWnd, SW_SHOWNORMAL);
            SetForegroundWindow(s_dialog->m_hWnd);
            return true;
        }
        delete s_dialog;
        s_dialog = nullptr;
        if (!loadCommonControls() || !registerDialogClass())
            return false;
        std::unique_ptr<CGdrConfigDialog> dialog(new CGdrConfigDialog(proxy));
        if (!dialog->CreateDlg(MAKEINTRESOURCEW(IDD_CONFIG_DIALOG), parent))
            return false;
        s_dialog = dialog.release();
        ShowWindow(s_dialog->m_hWnd, SW_SHOW);
        return true;
    } catch (...) {
        return false;
    }
}

void CGdrConfigDialog::close() {
    if (s_dialog && s_dialog->m_hWnd)
        s_dialog->DestroyWindow();
}

void CGdrConfigDialog::releaseForUnload(HINSTANCE instance) {
    if (s_dialog) {
        // Controls first: on another thread each is cut loose on its own.
        s_dialog->m_mapping.DestroyWindowNoWait();
        s_dialog->m_cap.DestroyWindowNoWait();
        const HWND window = s_dialog->m_hWnd;
        s_dialog->DestroyWindowNoWait();
        if (window && getCoreProxy().getConfigDialog() == window)
            getCoreProxy().setConfigDialog(nullptr);
        delete s_dialog;
        s_dialog = nullptr;
    }
    if (CGdrProxy::getLiveMotionProc() == &CGdrConfigDialog::handOverLiveMotion)
        CGdrProxy::setLiveMotionProc(nullptr);
    unhookKeys();
    UnregisterClassW(GDR_CONFIG_DIALOG_CLASS, instance);
}

void CGdrConfigDialog::handOverLiveMotion(HWND dialog, const int values[6]) {
    for (int i = 0; i < 6; ++i)
        s_live.values[i].store(values[i], std::memory_order_relaxed);
    if (s_live.posted.exchange(1, std::memory_order_acq_rel) == 0 &&
        !PostMessageW(dialog, kLiveMotionMessage, 0, 0))
        s_live.posted.store(0, std::memory_order_release);
}

CGdrConfigDialog::CGdrConfigDialog(CGdrProxy& proxy)
    : m_proxy(proxy), m_tree(nullptr), m_dragging(false), m_dragEntry(-1), m_dragDirection(-1),
      m_refreshing(false), m_lastFrame(0), m_frameMs(16), m_frameTimer(false) {}

CGdrConfigDialog::~CGdrConfigDialog() {}

LRESULT CGdrConfigDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return CWnd::WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0; // nothing may leave through the system's message dispatch
    }
}

LRESULT CGdrConfigDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefDlgProcW(m_hWnd, message, wParam, lParam);
}

const GloMessageMapEntry* CGdrConfigDialog::GetMessageMap() const {
    static const GloMessageMapEntry map[] = {
        GLO_ON_MESSAGE(WM_INITDIALOG, CGdrConfigDialog, OnInitDialog),
        GLO_ON_MESSAGE(WM_DESTROY, CGdrConfigDialog, OnDestroy),
        GLO_ON_MESSAGE(WM_COMMAND, CGdrConfigDialog, OnCommand),
        GLO_ON_MESSAGE(WM_NOTIFY, CGdrConfigDialog, OnNotify),
        GLO_ON_MESSAGE(WM_CONTEXTMENU, CGdrConfigDialog, OnContextMenu),
        GLO_ON_MESSAGE(WM_MOUSEMOVE, CGdrConfigDialog, OnMouseMove),
        GLO_ON_MESSAGE(WM_LBUTTONUP, CGdrConfigDialog, OnLeftButtonUp),
        GLO_ON_MESSAGE(WM_CAPTURECHANGED, CGdrConfigDialog, OnCaptureChanged),
        GLO_ON_MESSAGE(WM_TIMER, CGdrConfigDialog, OnTimer),
        GLO_ON_MESSAGE(kLiveMotionMessage, CGdrConfigDialog, OnLiveMotion),
        GLO_ON_MESSAGE(kRemoveSetupMessage, CGdrConfigDialog, OnRemoveSetup),
        GLO_END_MESSAGE_MAP()};
    return map;
}

LRESULT CGdrConfigDialog::OnInitDialog(WPARAM, LPARAM) {
    m_tree = GetDlgItem(m_hWnd, IDC_FUNCTION_TREE);
    if (!m_tree || !m_mapping.Attach(GetDlgItem(m_hWnd, IDC_AXIS_MAPPING)) ||
        !m_cap.Attach(GetDlgItem(m_hWnd, IDC_CAP_VIEW))) {
        ::DestroyWindow(m_hWnd); // controls of classes left by an earlier load: no dialog
        return FALSE;
    }
    SetDlgItemTextW(m_hWnd, IDC_FUNCTIONS_LABEL, loadString(IDS_PLUGIN_FUNCTIONS).c_str());

    if (HDC dc = GetDC(m_hWnd)) {
        const int rate = GetDeviceCaps(dc, VREFRESH);
        if (rate > 1)
            m_frameMs = std::max(1, 1000 / rate);
        ReleaseDC(m_hWnd, dc);
    }
    const std::wstring home = homeDirectory();
    m_cap.loadModel(home.empty() ? L"" : home + L"\\Office\\Geometry\\cap.stl");
    for (int i = 0; i < 6; ++i)
        s_live.values[i].store(0, std::memory_order_relaxed);
    s_live.posted.store(0);

    readApplications();
    int select = m_proxy.getLoadedConfigurationIndex();
    if (select < 0 || select >= static_cast<int>(m_applications.size()) ||
        !m_applications[select].object)
        select = -1;
    for (std::size_t i = 0; select < 0 && i < m_applications.size(); ++i)
        if (m_applications[i].object)
            select = static_cast<int>(i);
    rebuildTree(select, -1, -1);
    updateButtons();

    unhookKeys(); // a hook of an earlier dialog may sit on another thread
    s_keysHook = SetWindowsHookExW(WH_GETMESSAGE, &dialogKeysProc, nullptr, GetCurrentThreadId());
    s_keysDialog = m_hWnd;
    m_proxy.setConfigDialog(m_hWnd);
    CGdrProxy::setLiveMotionProc(&CGdrConfigDialog::handOverLiveMotion);
    return TRUE;
}

// The core never messages a dead dialog: the handle goes before the window.
LRESULT CGdrConfigDialog::OnDestroy(WPARAM wParam, LPARAM lParam) {
    if (m_proxy.getConfigDialog() == m_hWnd)
        m_proxy.setConfigDialog(nullptr);
    if (CGdrProxy::getLiveMotionProc() == &CGdrConfigDialog::handOverLiveMotion)
        CGdrProxy::setLiveMotionProc(nullptr);
    if (s_keysDialog == m_hWnd)
        unhookKeys();
    if (m_frameTimer)
        KillTimer(m_hWnd, kFrameTimer);
    m_frameTimer = false;
    m_dragging = false;
    return DefWindowProc(WM_DESTROY, wParam, lParam);
}

LRESULT CGdrConfigDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    const WORD id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kGdrConfigReloadedId && code == kGdrConfigReloadedCode) {
        // The core reloaded one application's configuration: show it as loaded, selected.
        // Edits of the other applications stay, unless the host's table itself changed.
        const int loaded = m_proxy.getLoadedConfigurationIndex();
        if (tableChanged())
            readApplications();
        else if (loaded >= 0 && loaded < static_cast<int>(m_applications.size()))
            readApplication(loaded);
        rebuildTree(loaded >= 0 ? loaded : selectedApplication(), -1, -1);
        updateButtons();
        return 0;
    }
    switch (id) {
    case IDOK:
        if (m_dragging) {
            endDrag(false);
            return 0;
        }
        applyChanges();
        DestroyWindow();
        return 0;
    case IDCANCEL:
        if (m_dragging) {
            endDrag(false); // Escape ends the drag, not the dialog
            return 0;
        }
        DestroyWindow(); // the applications were never touched
        return 0;
    case IDC_APPLY:
        if (code == BN_CLICKED) {
            applyChanges();
            updateButtons();
        }
        return 0;
    default:
        return DefWindowProc(WM_COMMAND, wParam, lParam);
    }
}

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
        if (!m_refreshing)
            showMapping();
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
            requestRemoval(selectedEntry());
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

// Removing a setup: from the tree (on a setup) or from the axis-mapping control (the setups
// that feed the direction under the pointer).
LRESULT CGdrConfigDialog::OnContextMenu(WPARAM wParam, LPARAM lParam) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const bool fromKeyboard = point.x == -1 && point.y == -1;
    std::vector<int> entries;
    CPopupMenu menu;
    if (!menu.get())
        return 0;
    if (window == m_tree) {
        int entry = selectedEntry();
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
                return 0;
            point = {place.rect.left, place.rect.bottom};
            ClientToScreen(m_tree, &point);
        } else {
            TVHITTESTINFO hit = {};
            hit.pt = point;
            ScreenToClient(m_tree, &hit.pt);
            HTREEITEM item = reinterpret_cast<HTREEITEM>(
                SendMessageW(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            if (!item)
                return 0;
            SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
            entry = selectedEntry();
        }
        if (entry < 0 || m_entries[entry].kind != SetupEntry)
            return 0;
        const TreeEntry& e = m_entries[entry];
        const bool removable = !m_applications[e.application].setups[e.setup].isButton();
        AppendMenuW(menu.get(), MF_STRING | (removable ? 0 : MF_GRAYED), 1,
                    loadString(IDS_REMOVE).c_str());
        entries.push_back(entry);
    } else if (window == m_mapping.m_hWnd) {
        POINT client = point;
        ScreenToClient(m_mapping.m_hWnd, &client);
        const int direction = fromKeyboard ? -1 : m_mapping.directionAt(client);
        const int application = selectedApplication();
        CGlo_Application* object = liveObject(application);
        if (direction < 0 || !object)
            return 0;
        const int axis = direction / 2;
        const int sign = direction % 2 ? -1 : 1;
        for (std::size_t e = 0; e < m_entries.size(); ++e) {
            const TreeEntry& entry = m_entries[e];
            if (entry.kind != SetupEntry || entry.application != application)
                continue;
            const CGdrEditableSetup& setup = m_applications[application].setups[entry.setup];
            if (setup.isButton())
                continue;
            bool feeds = false;
            if (setup.axisCount() == 0)
                feeds = setup.getAxis(0) == axis && setup.getPolarity(0) == sign;
            for (int i = 0; i < setup.axisCount() && i < 6; ++i)
                feeds = feeds || setup.getAxis(i) == axis;
            if (!feeds)
                continue;
            entries.push_back(static_cast<int>(e));
            CGlo_PluginFunction* function = object->queryFunction(setup.getName());
            const std::wstring label = loadString(IDS_REMOVE) + L": " +
                                       (function ? functionText(*function) : setup.getName()) +
                                       L" \x2013 " + setupText(*object, setup);
            AppendMenuW(menu.get(), MF_STRING, static_cast<UINT_PTR>(entries.size()),
                        label.c_str());
        }
        if (entries.empty())
            return 0;
    } else {
        return DefWindowProc(WM_CONTEXTMENU, wParam, lParam);
    }
    const int chosen = static_cast<int>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                       point.x, point.y, 0, m_hWnd, nullptr));
    if (chosen >= 1 && chosen <= static_cast<int>(entries.size()))
        requestRemoval(entries[chosen - 1]);
    return 0;
}

void CGdrConfigDialog::readApplications() {
    CGlo_PluginHost& host = getPluginHost();
    m_applications.assign(static_cast<std::size_t>(std::max(0, host.getNumberOfPlugins())),
                          Application{nullptr, L"", {}, false, false});
    for (std::size_t i = 0; i < m_applications.size(); ++i)
        readApplication(static_cast<int>(i));
}

void CGdrConfigDialog::readApplication(int index) {
    CGlo_PluginHost& host = getPluginHost();
    Application& application = m_applications[static_cast<std::size_t>(index)];
    application.object = host.getLoadedPlugin(index);
    application.name = host.getApplicationName(index); // a shared buffer: copied at once
    application.setups.clear();
    application.dirty = false;
    if (!application.object)
        return;
    const int count = application.object->getNumberOfConnections();
    for (int i = 0; i < count; ++i)
        if (CGlo_FunctionSetup* setup = application.object->queryFunctionSetup(i))
            application.setups.emplace_back(*setup);
}

CGlo_Application* CGdrConfigDialog::liveObject(int index) {
    if (index < 0 || index >= static_cast<int>(m_applications.size()) ||
        index >= getPluginHost().getNumberOfPlugins())
        return nullptr;
    CGlo_Application* object = m_applications[static_cast<std::size_t>(index)].object;
    return object && getPluginHost().getLoadedPlugin(index) == object ? object : nullptr;
}

bool CGdrConfigDialog::tableChanged() {
    CGlo_PluginHost& host = getPluginHost();
    if (host.getNumberOfPlugins() != static_cast<int>(m_applications.size()))
        return true;
    for (std::size_t i = 0; i < m_applications.size(); ++i)
        if (host.getLoadedPlugin(static_cast<int>(i)) != m_applications[i].object)
            return true;
    return false;
}

void CGdrConfigDialog::rebuildTree(int selectApplication, int selectFunction, int selectSetup) {
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
        return reinterpret_cast<HTREEITEM>(
            SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    };
    auto expand = [this](HTREEITEM item) {
        SendMessageW(m_tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    };

    HTREEITEM selection = nullptr;
    for (std::size_t a = 0; a < m_applications.size(); ++a) {
        Application& application = m_applications[a];
        CGlo_Application* object = liveObject(static_cast<int>(a));
        if (!object)
            continue; // a library whose "load" gave no application
        const int app = static_cast<int>(a);
        m_entries.push_back({ApplicationEntry, app, -1, -1});
        HTREEITEM appItem = insert(TVI_ROOT, application.name, int(m_entries.size()) - 1);
        if (app == selectApplication)
            selection = appItem;
        std::vector<HTREEITEM> withSetups;
        const int functions = object->getNumberOfFunctions();
        for (int f = 0; f < functions; ++f) {
            CGlo_PluginFunction* function = object->queryFunction(f);
            if (!function)
                continue;
            m_entries.push_back({FunctionEntry, app, f, -1});
            HTREEITEM functionItem =
                insert(appItem, functionText(*function), int(m_entries.size()) - 1);
            if (app == selectApplication && f == selectFunction)
                selection = functionItem;
            for (std::size_t s = 0; s < application.setups.size(); ++s) {
                const CGdrEditableSetup& setup = application.setups[s];
                if (std::wcscmp(setup.getName(), function->getName()) != 0)
                    continue;
                m_entries.push_back({SetupEntry, app, f, static_cast<int>(s)});
                HTREEITEM setupItem =
                    insert(functionItem, setupText(*object, setup), int(m_entries.size()) - 1);
                if (app == selectApplication && static_cast<int>(s) == selectSetup)
                    selection = setupItem;
                if (withSetups.empty() || withSetups.back() != functionItem)
                    withSetups.push_back(functionItem);
            }
        }
        for (HTREEITEM item : withSetups)
            expand(item);
        if (application.expanded || app == selectApplication) {
            expand(appItem);
            application.expanded = true;
        }
    }
    if (m_entries.empty())
        insert(TVI_ROOT, loadString(IDS_NO_PLUGINS), -1);
    SendMessageW(m_tree, WM_SETREDRAW, TRUE, 0);
    if (selection) {
        SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selection));
        SendMessageW(m_tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(selection));
    }
    InvalidateRect(m_tree, nullptr, TRUE);
    m_refreshing = false;
    showMapping();
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
    return entry >= 0 ? m_entries[entry].application : -1;
}

void CGdrConfigDialog::showMapping() {
    const int application = selectedApplication();
    CGlo_Application* object = liveObject(application);
    for (int direction = 0; direction < kGdrDirections; ++direction)
        m_mapping.setText(direction, object ? directionText(application, *object, direction) : L"");
}

void CGdrConfigDialog::updateButtons() {
    bool dirty = false;
    for (const Application& application : m_applications)
        dirty = dirty || application.dirty;
    EnableWindow(GetDlgItem(m_hWnd, IDC_APPLY), dirty);
}

std::wstring CGdrConfigDialog::functionText(CGlo_PluginFunction& function) {
    wchar_t description[128] = L"";
    function.getFunctionCbDescription(description, sizeof(description));
    std::wstring text = description[0] ? description : function.getName();
    UINT kind = 0;
    switch (function.getFunctionType()) {
    case GLO_ButtonFunction:
        kind = IDS_BUTTON;
        break;
    case GLO_TriggerFunction:
        kind = IDS_ONE_SHOT;
        break;
    case GLO_OneAxisFunction:
        kind = IDS_LINE;
        break;
    case GLO_TwoAxisFunction:
        kind = IDS_PLANE;
        break;
    default:
        kind = function.getNumberOfAxes() >= 3 ? IDS_SPACE : 0;
        break;
    }
    return kind ? text + L" (" + loadString(kind) + L")" : text;
}

// What the setup does, in the words of its function: for a motion the device direction that
// drives each function axis forward, for a button the button and its transition.
std::wstring CGdrConfigDialog::setupText(CGlo_Application& object, const CGdrEditableSetup& setup) {
    if (setup.isButton()) {
        std::wstring who =
            setup.isDefaultButtonHandler()
                ? loadString(IDS_ANY_BUTTON)
                : loadString(IDS_BUTTON) + L" " + std::to_wstring(setup.buttonNumber());
        UINT transition = 0;
        switch (setup.transition()) {
        case GLO_ButtonRelease:
            transition = IDS_BUTTON_RELEASE;
            break;
        case GLO_ButtonPress:
            transition = IDS_BUTTON_PRESS;
            break;
        case GLO_AnyButtonEvent:
            transition = IDS_BUTTON_ANY_EVENT;
            break;
        default:
            break;
        }
        return transition ? who + L": " + loadString(transition) : who;
    }
    CGlo_PluginFunction* function = object.queryFunction(setup.getName());
    std::wstring text;
    if (setup.axisCount() == 0) {
        text = badge(setup.getAxis(0), setup.getPolarity(0));
    } else {
        for (int i = 0; i < setup.axisCount() && i < 6; ++i) {
            wchar_t description[128] = L"";
            if (function)
                function->getAxisCbDescription(description, sizeof(description), i, 1);
            if (!text.empty())
                text += L", ";
            text += badge(setup.getAxis(i), setup.getPolarity(i));
            if (description[0])
                text += std::wstring(L" ") + description;
        }
    }
    wchar_t format[64] = L"", threshold[96] = L"";
    LoadStringW(GetResourceInstance(), IDS_SETUP_THRESHOLD, format, 64);
    std::swprintf(threshold, 96, format, setup.getThreshold());
    return text + L" (" + threshold + L")";
}

// What pushing the cap in one direction does in the application: every function axis that
// the direction feeds, described for the way it turns.
std::wstring CGdrConfigDialog::directionText(int application, CGlo_Application& object,
                                             int direction) {
    const int axis = direction / 2;
    const int sign = direction % 2 ? -1 : 1;
    std::wstring text;
    auto add = [&text](const std::wstring& part) {
        if (part.empty() || text.find(part) != std::wstring::npos)
            return;
        if (!text.empty())
            text += L"; ";
        text += part;
    };
    for (const CGdrEditableSetup& setup : m_applications[application].setups) {
        CGlo_PluginFunction* function = object.queryFunction(setup.getName());
        if (setup.isButton() || !function)
            continue;
        wchar_t description[128] = L"";
        function->getFunctionCbDescription(description, sizeof(description));
        const std::wstring name = description[0] ? description : function->getName();
        if (setup.axisCount() == 0) {
            if (setup.getAxis(0) == axis && setup.getPolarity(0) == sign)
                add(name);
            continue;
        }
        for (int i = 0; i < setup.axisCount() && i < 6; ++i) {
            if (setup.getAxis(i) != axis)
                continue;
            const int way = sign * setup.getPolarity(i);
            wchar_t axisText[128] = L"";
            function->getAxisCbDescription(axisText, sizeof(axisText), i, way);
            add(axisText[0] ? std::wstring(axisText) : name + (way < 0 ? kMinus : L"+"));
        }
    }
    return text;
}

int CGdrConfigDialog::drop(int application, int functionIndex, int direction) {
    CGlo_Application* object = liveObject(application);
    CGlo_PluginFunction* function = object ? object->queryFunction(functionIndex) : nullptr;
    if (!function || direction < 0 || direction >= kGdrDirections)
        return -1;
    const int type = function->getFunctionType();
    if (type < GLO_TriggerFunction || type > GLO_SixAxisFunction)
        return -1; // a button function: no axis drives it
    const int axis = direction / 2;
    const int polarity = direction % 2 ? -1 : 1;
    std::vector<CGdrEditableSetup>& setups = m_applications[application].setups;
    auto isOwn = [&](const CGdrEditableSetup& setup) {
        return !setup.isButton() && setup.getEventType() == GLO_MotionEvent &&
               std::wcscmp(setup.getName(), function->getName()) == 0;
    };
    auto added = [&](int count) {
        setups.emplace_back(function->getName(), GLO_MotionEvent, count, axis, 0, 0, 0, 0, 0,
                            polarity, 1, 1, 1, 1, 1, kDefaultThreshold);
        return static_cast<int>(setups.size()) - 1;
    };
    if (type == GLO_TriggerFunction) {
        // One direction per setup; a direction already there adds nothing.
        for (std::size_t s = 0; s < setups.size(); ++s)
            if (isOwn(setups[s]) && setups[s].axisCount() == 0 && setups[s].getAxis(0) == axis &&
                setups[s].getPolarity(0) == polarity)
                return static_cast<int>(s);
        return added(0);
    }
    // A device axis the function already uses only changes its direction.
    for (std::size_t s = 0; s < setups.size(); ++s) {
        CGdrEditableSetup& setup = setups[s];
        if (!isOwn(setup))
            continue;
        for (int i = 0; i < setup.axisCount() && i < 6; ++i)
            if (setup.getAxis(i) == axis) {
                setup.setPolarity(i, polarity);
                return static_cast<int>(s);
            }
    }
    // The next axis of a setup that does not drive all of the function's axes yet.
    for (std::size_t s = setups.size(); s-- > 0;) {
        CGdrEditableSetup& setup = setups[s];
        const int count = setup.axisCount();
        if (isOwn(setup) && count >= 1 && count < type) {
            setup.setAxis(count, axis);
            setup.setPolarity(count, polarity);
            setup.setAxisCount(count + 1);
            return static_cast<int>(s);
        }
    }
    return added(1);
}

void CGdrConfigDialog::requestRemoval(int entry) {
    if (entry >= 0 && entry < static_cast<int>(m_entries.size()) &&
        m_entries[entry].kind == SetupEntry)
        PostMessageW(m_hWnd, kRemoveSetupMessage, static_cast<WPARAM>(m_entries[entry].application),
                     static_cast<LPARAM>(m_entries[entry].setup));
}

LRESULT CGdrConfigDialog::OnRemoveSetup(WPARAM applicationIndex, LPARAM setupIndex) {
    if (applicationIndex >= m_applications.size())
        return 0;
    Application& application = m_applications[applicationIndex];
    if (setupIndex < 0 || static_cast<std::size_t>(setupIndex) >= application.setups.size())
        return 0;
    const CGdrEditableSetup& setup = application.setups[static_cast<std::size_t>(setupIndex)];
    if (setup.isButton()) {
        MessageBeep(MB_OK); // button setups are the plug-in's own, rebuilt on every load
        return 0;
    }
    // The function keeps the selection, so that the next drop goes where the user looks.
    int function = -1;
    if (CGlo_Application* object = liveObject(static_cast<int>(applicationIndex)))
        for (int f = 0; f < object->getNumberOfFunctions(); ++f)
            if (CGlo_PluginFunction* candidate = object->queryFunction(f))
                if (std::wcscmp(candidate->getName(), setup.getName()) == 0)
                    function = f;
    application.setups.erase(application.setups.begin() + setupIndex);
    application.dirty = true;
    rebuildTree(static_cast<int>(applicationIndex), function, -1);
    updateButtons();
    return 0;
}

// The motion setups go to the application, which rebuilds its button setups itself (as on every
// load), and into its file; the worker selects with them from the next event on.
bool CGdrConfigDialog::applyChanges() {
    const std::wstring home = homeDirectory();
    const std::wstring plugins = home.empty() ? L"" : home + L"\\Office\\Plugins";
    bool changed = false;
    for (std::size_t a = 0; a < m_applications.size(); ++a) {
        Application& application = m_applications[a];
        if (!application.dirty)
            continue;
        CGlo_Application* object = liveObject(static_cast<int>(a));
        application.dirty = false;
        if (!object)
            continue; // unloaded meanwhile: nothing left to configure
        std::vector<CGlo_FunctionSetup> motion;
        for (const CGlo_FunctionSetup& setup : application.setups)
            if (!setup.isButton())
                motion.push_back(setup);
        object->setConfiguration(motion.empty() ? nullptr : motion.data(),
                                 static_cast<int>(motion.size() * sizeof(CGlo_FunctionSetup)));
        {
            CWorkingDirectory folder(plugins);
            object->serialize();
        }
        readApplication(static_cast<int>(a));
        changed = true;
    }
    if (changed && m_hWnd) {
        const int entry = selectedEntry();
        if (entry >= 0)
            rebuildTree(m_entries[entry].application, m_entries[entry].function, -1);
        else
            rebuildTree(-1, -1, -1);
    }
    return changed;
}

void CGdrConfigDialog::beginDrag(int entry, HTREEITEM item) {
    if (entry < 0 || entry >= static_cast<int>(m_entries.size()) ||
        m_entries[entry].kind != FunctionEntry)
        return;
    const TreeEntry& e = m_entries[entry];
    CGlo_Application* object = liveObject(e.application);
    CGlo_PluginFunction* function = object ? object->queryFunction(e.function) : nullptr;
    if (!function || function->getFunctionType() == GLO_ButtonFunction)
        return;
    // Selected, the function's application shows in the mapping while the drag lasts.
    SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    m_dragging = true;
    m_dragEntry = entry;
    m_dragDirection = -1;
    SetCapture(m_hWnd);
    SetCursor(LoadCursorW(nullptr, IDC_NO));
}

int CGdrConfigDialog::dropDirectionAt(POINT screen) {
    POINT client = screen;
    ScreenToClient(m_mapping.m_hWnd, &client);
    return m_mapping.directionAt(client);
}

LRESULT CGdrConfigDialog::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    if (!m_dragging)
        return DefWindowProc(WM_MOUSEMOVE, wParam, lParam);
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(m_hWnd, &point);
    m_dragDirection = dropDirectionAt(point);
    m_mapping.setDropTarget(m_dragDirection, true);
    SetCursor(LoadCursorW(nullptr, m_dragDirection >= 0 ? IDC_ARROW : IDC_NO));
    return 0;
}

LRESULT CGdrConfigDialog::OnLeftButtonUp(WPARAM wParam, LPARAM lParam) {
    if (!m_dragging)
        return DefWindowProc(WM_LBUTTONUP, wParam, lParam);
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(m_hWnd, &point);
    m_dragDirection = dropDirectionAt(point);
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
    if (!dropIt || direction < 0 || entry < 0 || entry >= static_cast<int>(m_entries.size()))
        return;
    const TreeEntry e = m_entries[entry];
    const int setup = drop(e.application, e.function, direction);
    if (setup < 0)
        return;
    m_applications[e.application].dirty = true;
    rebuildTree(e.application, e.function, setup);
    updateButtons();
}

// At most one frame per display refresh, however fast the driver reports.
LRESULT CGdrConfigDialog::OnLiveMotion(WPARAM, LPARAM) {
    s_live.posted.store(0, std::memory_order_release);
    const ULONGLONG now = nowMs();
    const ULONGLONG since = now - m_lastFrame;
    if (since >= m_frameMs) {
        showLiveMotion();
    } else if (!m_frameTimer) {
        m_frameTimer =
            SetTimer(m_hWnd, kFrameTimer, static_cast<UINT>(m_frameMs - since), nullptr) != 0;
        if (!m_frameTimer)
            showLiveMotion();
    }
    return 0;
}

LRESULT CGdrConfigDialog::OnTimer(WPARAM wParam, LPARAM lParam) {
    if (wParam != kFrameTimer)
        return DefWindowProc(WM_TIMER, wParam, lParam);
    KillTimer(m_hWnd, kFrameTimer);
    m_frameTimer = false;
    showLiveMotion();
    return 0;
}

void CGdrConfigDialog::showLiveMotion() {
    int values[6];
    for (int i = 0; i < 6; ++i)
        values[i] = s_live.values[i].load(std::memory_order_relaxed);
    m_lastFrame = nowMs();
    m_mapping.setLiveMotion(values);
    m_cap.setLiveMotion(values);
}

} // namespace glo_ui
