#include "ui/GdrConfigDialog.h"

#include "GloLoadedPrograms.h"
#include "GloUserSettings.h"
#include "config/UserSettingsStore.h"
#include "config/GloHomeDirectory.h"
#include "ui/GdrApplicationAccess.h"
#include "ui/GdrTexts.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cwchar>
#include <memory>

// The member, not the system's macro of the same name.
#undef DefWindowProc

namespace glo_ui {

namespace {

const UINT kLiveMotionMessage = WM_APP + 1;
const UINT kRemoveSetupMessage = WM_APP + 2;
const UINT_PTR kFrameTimer = 1;
const WPARAM kRebuildOnly = 1; // kRemoveSetupMessage after a key combination was removed
const int kLargestDeadZone = 200;
const int kNameChars = 256; // an application's name, as it keeps it

// The speed sliders' positions: a factor of about the square root of two apart, 0.25x to 4x.
const int kSpeedSteps[] = {250, 350, 500, 700, 1000, 1400, 2000, 2800, 4000};
const int kSpeedPositions = sizeof(kSpeedSteps) / sizeof(kSpeedSteps[0]);

// Commands of the context menus.
const UINT kRemoveCommand = 1;
const UINT kRestoreCommand = 2;
const UINT kKeysCommand = 3;
const UINT kAssignCommand = 100;    // + direction
const UINT kReverseCommand = 200;   // + function axis
const UINT kRemoveOneCommand = 300; // + setup listed

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

// "x+" for direction 0 and so on.
std::wstring badgeOf(int direction) {
    return directionBadge(direction / 2, direction % 2 ? -1 : 1);
}

// A text as a menu shows it: an ampersand of a name is no mnemonic.
std::wstring menuText(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text)
        escaped += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
    return escaped;
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

// The driver's home directory without a trailing backslash; empty when the registry names none.
// (Quietly: the dialog reports a missing model itself.)
std::wstring homeDirectory() {
    wchar_t value[glo_config::kHomeChars];
    if (!glo_config::readHomeDirectory(value))
        return L"";
    std::wstring home = value;
    while (!home.empty() && (home.back() == L'\\' || home.back() == L'/'))
        home.pop_back();
    return home;
}

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

// The tree view and the slider live in the common controls, loaded when a dialog first opens:
// the driver's process pays nothing for them until then. The library stays loaded for the
// process.
bool loadCommonControls() {
    static HMODULE s_controls = nullptr;
    if (!s_controls)
        s_controls = LoadLibraryW(L"comctl32.dll");
    if (!s_controls)
        return false;
    typedef BOOL(WINAPI * InitProc)(const INITCOMMONCONTROLSEX*);
    const auto init = reinterpret_cast<InitProc>(
        reinterpret_cast<void*>(GetProcAddress(s_controls, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                     ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_HOTKEY_CLASS};
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

// The push button with the keyboard focus is the default one, as in every dialog, so that Enter
// presses it; elsewhere OK is.
void followFocusWithDefault(HWND dialog) {
    const HWND focus = GetFocus();
    const bool pushButton = focus != nullptr && IsChild(dialog, focus) &&
                            (SendMessageW(focus, WM_GETDLGCODE, 0, 0) &
                             (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
    const int wanted = pushButton ? GetDlgCtrlID(focus) : IDOK;
    const LRESULT current = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(current) != DC_HASDEFID || LOWORD(current) != wanted)
        SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(wanted), 0);
}

// Shift+F10 opens the context menu of the focused control, as the menu key does. Its F10 would
// otherwise go on to the system as the key that opens a window's menu, closing the context menu
// again; its release is kept from the system too.
bool s_swallowF10Release = false;

bool isContextMenuKey(const MSG& msg) {
    return (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_F10 &&
           (GetKeyState(VK_SHIFT) & 0x8000) != 0 && (GetKeyState(VK_MENU) & 0x8000) == 0 &&
           (GetKeyState(VK_CONTROL) & 0x8000) == 0;
}

// Tab, Enter and Escape for a modeless dialog in a message loop that is not the dialog's own.
LRESULT CALLBACK dialogKeysProc(int code, WPARAM wParam, LPARAM lParam) {
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    const HWND dialog = s_keysDialog;
    if (code == HC_ACTION && wParam == PM_REMOVE && msg && dialog && msg->message >= WM_KEYFIRST &&
        msg->message <= WM_KEYLAST && (msg->hwnd == dialog || IsChild(dialog, msg->hwnd)) &&
        !inNestedLoop()) {
        bool taken = false;
        if (isContextMenuKey(*msg)) {
            PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(msg->hwnd),
                         MAKELPARAM(-1, -1));
            s_swallowF10Release = true;
            taken = true;
        } else if ((msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP) &&
                   msg->wParam == VK_F10 && s_swallowF10Release) {
            s_swallowF10Release = false;
            taken = true;
        } else {
            followFocusWithDefault(dialog);
            taken = IsDialogMessageW(dialog, msg) != FALSE;
            if (IsWindow(dialog))
                followFocusWithDefault(dialog);
        }
        if (taken) {
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return CallNextHookEx(s_keysHook, code, wParam, lParam);
}

void unhookKeys() {
    if (s_keysHook)
        UnhookWindowsHookEx(s_keysHook);
    s_keysHook = nullptr;
    s_keysDialog = nullptr;
}

// The position nearest to a speed by ratio (a speed written into the file by hand need not be
// one of the steps).
int speedPosition(int speed) {
    int best = 0;
    for (int i = 1; i < kSpeedPositions; ++i)
        if (std::fabs(std::log(double(kSpeedSteps[i]) / speed)) <
            std::fabs(std::log(double(kSpeedSteps[best]) / speed)))
            best = i;
    return best;
}

// A speed as the user reads it: "1.0x", "0.25x", "2.8x" (one decimal, two where it has them),
// with the decimal separator of the user interface's language.
std::wstring factorText(int speed) {
    const int hundredths = (speed + 5) / 10;
    std::wstring number = std::to_wstring(hundredths / 100) + loadText(IDS_DECIMAL_SEPARATOR);
    number += static_cast<wchar_t>(L'0' + hundredths % 100 / 10);
    if (hundredths % 10 != 0)
        number += static_cast<wchar_t>(L'0' + hundredths % 10);
    return formatText(IDS_SPEED_FACTOR, number.c_str());
}

// The speed stored for `program` (null: all programs), in thousandths.
int storedSpeed(const wchar_t* program) {
    return static_cast<int>(std::lround(CGlo_UserSettings::getSpeed(program) * 1000));
}

// The last part of a path: the status line has room for a file's name, not for its folder.
std::wstring fileNameOf(const wchar_t* path) {
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return slash != nullptr ? slash + 1 : path;
}

// Why a save failed, in the user's words.
std::wstring saveFailureText(const GLO_SaveReport& report) {
    const std::wstring file = fileNameOf(report.file);
    switch (report.failure) {
    case GLO_SaveNoFolder:
        return formatText(IDS_SAVE_NO_FOLDER, report.file);
    case GLO_SaveHeldBack:
        return formatText(IDS_SAVE_HELD_BACK, file.c_str());
    case GLO_SaveNoFileName:
        return loadText(IDS_SAVE_NO_FILE_NAME);
    default:
        break;
    }
    switch (report.error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return formatText(IDS_SAVE_IN_USE, file.c_str());
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return formatText(IDS_SAVE_DENIED, file.c_str());
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return formatText(IDS_SAVE_DISK_FULL, file.c_str());
    default:
        return formatText(IDS_SAVE_ERROR, file.c_str(), static_cast<int>(report.error));
    }
}

} // namespace

bool CGdrConfigDialog::open(HWND parent) {
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
        // The program the user came from.
        std::unique_ptr<CGdrConfigDialog> dialog(new CGdrConfigDialog(gloProgramInFront()));
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
        gloDetachConfigurationWindow(window, nullptr);
        delete s_dialog;
        s_dialog = nullptr;
    }
    gloDetachConfigurationWindow(nullptr, &CGdrConfigDialog::handOverLiveMotion);
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

CGdrConfigDialog::CGdrConfigDialog(int frontApplication)
    : m_frontApplication(frontApplication), m_keysApplication(-1), m_keysButton(0), m_keysChosen(0),
      m_tableGeneration(0), m_treeVersion(0), m_removal{0, -1, -1}, m_tree(nullptr),
      m_deadZone(nullptr), m_speed(nullptr), m_speedAll(nullptr), m_allSpeed(1000),
      m_allSpeedDirty(false), m_dragging(false), m_dragEntry(-1), m_dragTree(0),
      m_dragDirection(-1), m_refreshing(false), m_lastFrame(0), m_frameMs(16), m_frameTimer(false) {
}

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
        GLO_ON_MESSAGE(WM_HSCROLL, CGdrConfigDialog, OnHorizontalScroll),
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
    m_deadZone = GetDlgItem(m_hWnd, IDC_DEADZONE);
    m_speed = GetDlgItem(m_hWnd, IDC_SPEED);
    m_speedAll = GetDlgItem(m_hWnd, IDC_SPEED_ALL);
    if (!m_tree || !m_deadZone || !m_speed || !m_speedAll ||
        !m_mapping.Attach(GetDlgItem(m_hWnd, IDC_AXIS_MAPPING)) ||
        !m_cap.Attach(GetDlgItem(m_hWnd, IDC_CAP_VIEW))) {
        ::DestroyWindow(m_hWnd); // controls of classes left by an earlier load: no dialog
        return FALSE;
    }
    SetDlgItemTextW(m_hWnd, IDC_FUNCTIONS_LABEL, loadText(IDS_PLUGIN_FUNCTIONS).c_str());
    SendMessageW(m_deadZone, TBM_SETRANGE, FALSE, MAKELPARAM(0, kLargestDeadZone));
    SendMessageW(m_deadZone, TBM_SETLINESIZE, 0, 1);
    SendMessageW(m_deadZone, TBM_SETPAGESIZE, 0, 10);
    for (HWND slider : {m_speed, m_speedAll}) {
        SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kSpeedPositions - 1));
        SendMessageW(slider, TBM_SETTICFREQ, 1, 0);
        SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
        SendMessageW(slider, TBM_SETPAGESIZE, 0, 2);
    }
    m_allSpeed = storedSpeed(nullptr);

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

    unhookKeys(); // a hook of an earlier dialog may sit on another thread
    s_keysHook = SetWindowsHookExW(WH_GETMESSAGE, &dialogKeysProc, nullptr, GetCurrentThreadId());
    s_keysDialog = m_hWnd;
    gloAttachConfigurationWindow(m_hWnd, &CGdrConfigDialog::handOverLiveMotion);

    syncApplications(m_frontApplication >= 0 ? m_frontApplication : gloReloadedProgram());
    return TRUE;
}

// The core never messages a dead dialog: the handle goes before the window.
LRESULT CGdrConfigDialog::OnDestroy(WPARAM wParam, LPARAM lParam) {
    gloDetachConfigurationWindow(m_hWnd, &CGdrConfigDialog::handOverLiveMotion);
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
        // The core reloaded one application's configuration: shown as loaded, and selected.
        syncApplications(gloReloadedProgram());
        return 0;
    }
    if (id == kGdrConfigReloadedId && code == kGdrPluginsChangedCode) {
        if (gloLoadedProgramTableGeneration() != m_tableGeneration)
            syncApplications(-1);
        return 0;
    }
    switch (id) {
    case IDOK:
        if (m_dragging) {
            endDrag(false);
            return 0;
        }
        if (applyChanges())
            DestroyWindow(); // otherwise open with the edits, saying what was not saved
        return 0;
    case IDCANCEL:
        if (m_dragging) {
            endDrag(false); // Escape ends the drag, not the dialog
            return 0;
        }
        DestroyWindow(); // the applications were never touched
        return 0;
    case IDC_APPLY:
        if (code == BN_CLICKED)
            applyChanges();
        return 0;
    case IDC_REVERSE:
        if (code == BN_CLICKED)
            chooseReverse();
        return 0;
    case IDC_RESTORE_DEFAULTS:
        if (code == BN_CLICKED)
            restoreDefaults(selectedApplication());
        return 0;
    case IDC_KEY_COMBINATION:
        if (code == BN_CLICKED)
            editKeys();
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

LRESULT CGdrConfigDialog::OnContextMenu(WPARAM wParam, LPARAM lParam) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const bool fromKeyboard = point.x == -1 && point.y == -1;
    if (m_dragging)
        return 0;
    if (window == m_tree)
        treeMenu(point, fromKeyboard);
    else if (window == m_mapping.m_hWnd)
        mappingMenu(point, fromKeyboard);
    else
        return DefWindowProc(WM_CONTEXTMENU, wParam, lParam);
    return 0;
}

int CGdrConfigDialog::trackMenu(HMENU menu, POINT point) {
    return static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y,
                                           0, m_hWnd, nullptr));
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

LRESULT CGdrConfigDialog::OnHorizontalScroll(WPARAM wParam, LPARAM lParam) {
    const HWND slider = reinterpret_cast<HWND>(lParam);
    if (slider == m_speed || slider == m_speedAll) {
        const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        if (slider == m_speed)
            setProgramSpeed(position);
        else
            setAllSpeed(position);
        return 0;
    }
    if (slider != m_deadZone)
        return DefWindowProc(WM_HSCROLL, wParam, lParam);
    setDeadZone(static_cast<int>(SendMessageW(m_deadZone, TBM_GETPOS, 0, 0)));
    return 0;
}

std::wstring CGdrConfigDialog::pluginFolder() const {
    const std::wstring home = homeDirectory();
    return home.empty() ? L"" : home + L"\\Office\\Plugins";
}

void CGdrConfigDialog::syncApplications(int reloaded) {
    if (m_dragging)
        endDrag(false);
    const int selected = selectedApplication();
    const std::wstring selectedName = selected >= 0 ? m_applications[selected].name : L"";
    std::vector<CGdrEditedApplication> previous;
    previous.swap(m_applications);
    m_entries.clear(); // they point into the list just replaced; the tree is rebuilt below
    std::vector<bool> matched(previous.size(), false);

    std::wstring notice;
    auto note = [&notice](const std::wstring& line) {
        notice += (notice.empty() ? L"" : L"\n") + line;
    };
    const int count = gloLoadedProgramCount();
    for (int i = 0; i < count; ++i) {
        CGdrEditedApplication application;
        wchar_t name[kNameChars];
        gloLoadedProgramName(i, name, kNameChars);
        application.name = name;
        application.speed = storedSpeed(application.name.c_str());
        for (int b = 0; b < kGdrButtons; ++b)
            CGlo_UserSettings::getButtonKeys(application.name.c_str(), b,
                                             &application.keys[b].modifiers,
                                             &application.keys[b].key);
        application.object = gloLoadedProgramApplication(i);
        application.loadGeneration = gloLoadedProgramGeneration(i);
        if (application.object && !readApplication(*application.object, application))
            application.object = nullptr; // it crashed: out of use now
        int before = -1;
        for (std::size_t p = 0; p < previous.size() && before < 0; ++p)
            if (!matched[p] && previous[p].name == application.name)
                before = static_cast<int>(p);
        if (before >= 0) {
            const CGdrEditedApplication& old = previous[static_cast<std::size_t>(before)];
            matched[static_cast<std::size_t>(before)] = true;
            application.expanded = old.expanded;
            if (old.object && !application.object)
                note(formatText(old.dirty || old.speedDirty || old.keysDirty ? IDS_PLUGIN_GONE_EDITS
                                                                             : IDS_PLUGIN_GONE,
                                application.name.c_str()));
            if (old.speedDirty && application.object) {
                application.speed = old.speed;
                application.speedDirty = true;
            }
            if (old.keysDirty && application.object) {
                std::copy(old.keys, old.keys + kGdrButtons, application.keys);
                application.keysDirty = true;
            }
            if (old.dirty && application.object) {
                // The button setups are the plug-in's own: taken from the fresh copy.
                std::vector<CGdrEditableSetup> kept;
                for (const CGdrEditableSetup& setup : application.setups)
                    if (setup.isButton())
                        kept.push_back(setup);
                for (const CGdrEditableSetup& setup : old.setups)
                    if (!setup.isButton() && application.findFunction(setup.getName()) >= 0)
                        kept.push_back(setup);
                application.setups.swap(kept);
                application.dirty = true;
                if (old.loadGeneration != application.loadGeneration || i == reloaded)
                    note(formatText(IDS_PLUGIN_RELOADED_EDITS, application.name.c_str()));
            }
        }
        m_applications.push_back(std::move(application));
    }
    for (std::size_t p = 0; p < previous.size(); ++p)
        if (!matched[p] && previous[p].object)
            note(formatText(previous[p].dirty || previous[p].speedDirty || previous[p].keysDirty
                                ? IDS_PLUGIN_GONE_EDITS
                                : IDS_PLUGIN_GONE,
                            previous[p].name.c_str()));
    if (!notice.empty())
        m_notice = notice;
    // A plug-in that crashed while it was read was taken out of use meanwhile, which changed the
    // table; liveObject() asks the table about every object, so the list stands as read.
    m_tableGeneration = gloLoadedProgramTableGeneration();

    int select =
        reloaded >= 0 && reloaded < count && m_applications[reloaded].object ? reloaded : -1;
    for (int i = 0; select < 0 && i < count; ++i)
        if (m_applications[i].object && m_applications[i].name == selectedName)
            select = i;
    for (int i = 0; select < 0 && i < count; ++i)
        if (m_applications[i].object)
            select = i;
    rebuildTree(select, -1, -1);
    updateButtons();
}

CGlo_Application* CGdrConfigDialog::liveObject(int index) {
    if (gloLoadedProgramTableGeneration() != m_tableGeneration || index < 0 ||
        index >= static_cast<int>(m_applications.size()) || index >= gloLoadedProgramCount())
        return nullptr;
    CGlo_Application* object = m_applications[static_cast<std::size_t>(index)].object;
    return object && gloLoadedProgramApplication(index) == object ? object : nullptr;
}

void CGdrConfigDialog::refreshApplication(int index) {
    CGdrEditedApplication& application = m_applications[static_cast<std::size_t>(index)];
    application.dirty = false;
    if (!application.object || !readApplication(*application.object, application))
        application.object = nullptr;
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

// The slider of the selected program shows its own factor, the line below what it moves at:
// both factors multiplied. The lights show it too, for the directions that drive a continuous
// function.
void CGdrConfigDialog::showSpeed() {
    const int application = selectedApplication();
    const bool live = liveObject(application) != nullptr;
    const int own = live ? m_applications[application].speed : 1000;
    const int effective = glo_config::combineSpeeds(m_allSpeed, own);
    SendMessageW(m_speed, TBM_SETPOS, TRUE, speedPosition(own));
    SendMessageW(m_speedAll, TBM_SETPOS, TRUE, speedPosition(m_allSpeed));
    SetDlgItemTextW(m_hWnd, IDC_SPEED_VALUE, live ? factorText(own).c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_SPEED_ALL_VALUE, factorText(m_allSpeed).c_str());
    SetDlgItemTextW(m_hWnd, IDC_SPEED_EFFECTIVE,
                    live ? formatText(IDS_SPEED_EFFECTIVE, m_applications[application].name.c_str(),
                                      factorText(effective).c_str(), factorText(own).c_str(),
                                      factorText(m_allSpeed).c_str())
                               .c_str()
                         : L"");
    if (!live && GetFocus() == m_speed)
        SetFocus(m_tree);
    for (int id : {IDC_SPEED_LABEL, IDC_SPEED, IDC_SPEED_VALUE})
        EnableWindow(GetDlgItem(m_hWnd, id), live);
    for (int direction = 0; direction < kGdrDirections; ++direction)
        m_mapping.setSpeed(direction, live && m_applications[application].continuousAt(direction)
                                          ? effective
                                          : 1000);
}

// Only a move to another position changes a speed: a speed between the steps stays as it is
// while its slider rests near it.
void CGdrConfigDialog::setProgramSpeed(int position) {
    const int application = selectedApplication();
    if (!liveObject(application) || position < 0 || position >= kSpeedPositions)
        return;
    CGdrEditedApplication& edited = m_applications[application];
    if (position == speedPosition(edited.speed))
        return;
    edited.speed = kSpeedSteps[position];
    edited.speedDirty = true;
    showSpeed();
    updateButtons();
}

void CGdrConfigDialog::setAllSpeed(int position) {
    if (position < 0 || position >= kSpeedPositions || position == speedPosition(m_allSpeed))
        return;
    m_allSpeed = kSpeedSteps[position];
    m_allSpeedDirty = true;
    showSpeed();
    updateButtons();
}

bool CGdrConfigDialog::saveSpeeds(std::wstring& failure) {
    bool edited = m_allSpeedDirty, keys = false;
    for (const CGdrEditedApplication& application : m_applications) {
        edited = edited || application.speedDirty || application.keysDirty;
        keys = keys || application.keysDirty;
    }
    if (!edited)
        return true;
    if (m_allSpeedDirty)
        CGlo_UserSettings::setSpeed(nullptr, m_allSpeed / 1000.0);
    for (const CGdrEditedApplication& application : m_applications)
        if (application.speedDirty)
            CGlo_UserSettings::setSpeed(application.name.c_str(), application.speed / 1000.0);
    GLO_SaveReport report = {};
    if (!CGlo_UserSettings::save(&report)) {
        failure = formatText(
            keys ? IDS_KEYS_SAVE_FAILED : IDS_SPEED_SAVE_FAILED,
            report.failure == GLO_SaveHeldBack
                ? formatText(IDS_SETTINGS_HELD_BACK, fileNameOf(report.file).c_str()).c_str()
                : saveFailureText(report).c_str());
        return false;
    }
    m_allSpeedDirty = false;
    for (CGdrEditedApplication& application : m_applications) {
        application.speedDirty = false;
        application.keysDirty = false;
    }
    return true;
}

// The button of the selected entry: a key combination's, a button setup's, or the first of a
// button function's; else button 0.
void CGdrConfigDialog::editKeys() {
    const int application = selectedApplication();
    if (!liveObject(application))
        return;
    const CGdrEditedApplication& edited = m_applications[application];
    int button = 0;
    const int entry = selectedEntry();
    if (entry >= 0 && m_entries[entry].kind == KeysEntry) {
        button = m_entries[entry].setup;
    } else if (entry >= 0 && m_entries[entry].kind != ApplicationEntry) {
        for (std::size_t s = 0; s < edited.setups.size(); ++s) {
            const CGdrEditableSetup& setup = edited.setups[s];
            const bool chosen =
                m_entries[entry].kind == SetupEntry
                    ? static_cast<int>(s) == m_entries[entry].setup
                    : std::wcscmp(setup.getName(),
                                  edited.functions[m_entries[entry].function].getName()) == 0;
            if (chosen && setup.isButton() && setup.buttonNumber() >= 0 &&
                setup.buttonNumber() < kGdrButtons) {
                button = setup.buttonNumber();
                break;
            }
        }
    }
    m_keysApplication = application;
    m_keysButton = button;
    m_keysChosen = 0;
    const unsigned tree = m_treeVersion;
    const INT_PTR answer =
        DialogBoxParamW(CWnd::GetResourceInstance(), MAKEINTRESOURCEW(IDD_KEYS_DIALOG), m_hWnd,
                        &CGdrConfigDialog::KeysDialogProc, reinterpret_cast<LPARAM>(this));
    m_keysApplication = -1;
    // The box's loop may have let the table change.
    if (answer != IDOK || tree != m_treeVersion || !liveObject(application))
        return;
    CGdrEditedApplication::Keys keys;
    keys.key = m_keysChosen & 0xFF;
    keys.modifiers = (m_keysChosen >> 8) & GLO_KeyAllModifiers;
    wchar_t stored[48];
    if (!CGlo_UserSettings::formatKeys(keys.modifiers, keys.key, stored, 48))
        keys = CGdrEditedApplication::Keys(); // none, or only modifiers: the button's own function
    CGdrEditedApplication::Keys& now = m_applications[application].keys[m_keysButton];
    if (now.key == keys.key && (keys.key == 0 || now.modifiers == keys.modifiers))
        return;
    now = keys;
    m_applications[application].keysDirty = true;
    rebuildTree(application, -1, keys.key != 0 ? -2 - m_keysButton : -1);
    updateButtons();
}

namespace {

// A button as the key dialog lists it: with its key combination, else what the plug-in put on it.
std::wstring buttonItem(const CGdrEditedApplication& application, int button) {
    const CGdrEditedApplication::Keys& keys = application.keys[button];
    std::wstring what = keysText(keys.modifiers, keys.key);
    for (const CGdrEditableSetup& setup : application.setups) {
        if (!what.empty() && keys.key != 0)
            break;
        const int function = application.findFunction(setup.getName());
        if (setup.isButton() && setup.buttonNumber() == button && function >= 0) {
            std::wstring name = application.functionText(function);
            what += (what.empty() ? L"" : L", ") + name;
        }
    }
    return what.empty() ? loadText(IDS_BUTTON) + L" " + std::to_wstring(button)
                        : formatText(IDS_BUTTON_KEYS, button, what.c_str());
}

void showKeysOf(HWND dialog, const CGdrEditedApplication& application, int button) {
    const CGdrEditedApplication::Keys& keys = application.keys[button];
    SendDlgItemMessageW(dialog, IDC_KEYS_HOTKEY, HKM_SETHOTKEY,
                        MAKEWORD(keys.key, keys.key != 0 ? keys.modifiers : 0), 0);
}

} // namespace

INT_PTR CALLBACK CGdrConfigDialog::KeysDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        CGdrConfigDialog* self =
            reinterpret_cast<CGdrConfigDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (self == nullptr || self->m_keysApplication < 0 ||
            self->m_keysApplication >= static_cast<int>(self->m_applications.size()))
            return FALSE;
        const CGdrEditedApplication& application = self->m_applications[self->m_keysApplication];
        const HWND buttons = GetDlgItem(dialog, IDC_KEYS_BUTTON);
        switch (message) {
        case WM_INITDIALOG: {
            SetWindowTextW(dialog, (application.name + L": " +
                                    [dialog] {
                                        wchar_t caption[128] = L"";
                                        GetWindowTextW(dialog, caption, 128);
                                        return std::wstring(caption);
                                    }())
                                       .c_str());
            for (int b = 0; b < kGdrButtons; ++b)
                SendMessageW(buttons, CB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(buttonItem(application, b).c_str()));
            SendMessageW(buttons, CB_SETCURSEL, self->m_keysButton, 0);
            showKeysOf(dialog, application, self->m_keysButton);
            return TRUE; // the focus on the first control, the button
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_KEYS_BUTTON:
                if (HIWORD(wParam) == CBN_SELCHANGE) {
                    const LRESULT b = SendMessageW(buttons, CB_GETCURSEL, 0, 0);
                    if (b >= 0 && b < kGdrButtons)
                        showKeysOf(dialog, application, static_cast<int>(b));
                }
                return TRUE;
            case IDC_KEYS_CLEAR:
                SendDlgItemMessageW(dialog, IDC_KEYS_HOTKEY, HKM_SETHOTKEY, 0, 0);
                SetFocus(GetDlgItem(dialog, IDC_KEYS_HOTKEY));
                return TRUE;
            case IDOK: {
                const LRESULT b = SendMessageW(buttons, CB_GETCURSEL, 0, 0);
                if (b >= 0 && b < kGdrButtons)
                    self->m_keysButton = static_cast<int>(b);
                self->m_keysChosen = static_cast<unsigned>(
                    LOWORD(SendDlgItemMessageW(dialog, IDC_KEYS_HOTKEY, HKM_GETHOTKEY, 0, 0)));
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            case IDCANCEL:
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            default:
                return FALSE;
            }
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE; // nothing may leave through the system's message dispatch
    }
}

void CGdrConfigDialog::storeKeys() {
    for (std::size_t a = 0; a < m_applications.size(); ++a) {
        CGdrEditedApplication& application = m_applications[a];
        if (!application.keysDirty || !liveObject(static_cast<int>(a)))
            continue;
        for (int b = 0; b < kGdrButtons; ++b)
            CGlo_UserSettings::setButtonKeys(application.name.c_str(), b,
                                             application.keys[b].modifiers,
                                             application.keys[b].key);
        // Edited setups take the keys along when they are handed over; otherwise the setups
        // are handed back as they are, and the file that holds them stays untouched.
        if (!application.dirty && application.object) {
            if (rebuildConnections(*application.object, application.name, pluginFolder()))
                refreshApplication(static_cast<int>(a));
            else
                application.object = nullptr; // it crashed: the host's notice follows
        }
    }
}

void CGdrConfigDialog::showSetupControls() {
    int application = -1;
    const int setup = selectedSetup(application);
    const bool any = setup >= 0;
    const int threshold = any ? m_applications[application].setups[setup].getThreshold() : 0;
    SendMessageW(m_deadZone, TBM_SETPOS, TRUE, threshold);
    SetDlgItemTextW(m_hWnd, IDC_DEADZONE_VALUE, any ? std::to_wstring(threshold).c_str() : L"");
    const HWND focus = GetFocus();
    // A control about to be disabled first hands the focus on, so that the keyboard keeps it.
    if (!any && (focus == m_deadZone || focus == GetDlgItem(m_hWnd, IDC_REVERSE)))
        SetFocus(m_tree);
    for (int id : {IDC_DEADZONE_LABEL, IDC_DEADZONE, IDC_DEADZONE_VALUE, IDC_REVERSE})
        EnableWindow(GetDlgItem(m_hWnd, id), any);
    const bool live = liveObject(selectedApplication()) != nullptr;
    EnableWindow(GetDlgItem(m_hWnd, IDC_RESTORE_DEFAULTS), live);
    EnableWindow(GetDlgItem(m_hWnd, IDC_KEY_COMBINATION), live);
}

void CGdrConfigDialog::updateButtons() {
    bool dirty = m_allSpeedDirty;
    for (const CGdrEditedApplication& application : m_applications)
        dirty = dirty || application.dirty || application.speedDirty || application.keysDirty;
    EnableWindow(GetDlgItem(m_hWnd, IDC_APPLY), dirty);
}

// What could not be saved, what came and went, and the directions that two setups of the
// selected application claim.
void CGdrConfigDialog::updateStatus() {
    std::wstring text = m_saveNotice;
    if (!m_notice.empty())
        text += (text.empty() ? L"" : L"\n") + m_notice;
    const int application = selectedApplication();
    if (liveObject(application))
        for (int direction = 0; direction < kGdrDirections; ++direction)
            if (m_applications[application].claims(direction) > 1)
                text += (text.empty() ? L"" : L"\n") +
                        formatText(IDS_CONFLICT, badgeOf(direction).c_str(),
                                   m_applications[application].claimants(direction).c_str());
    SetDlgItemTextW(m_hWnd, IDC_STATUS, text.c_str());
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

void CGdrConfigDialog::reverse(const SetupChoice& choice, int slot) {
    if (!stillMeans(choice) || !liveObject(choice.application) ||
        !m_applications[choice.application].reverse(choice.setup, slot))
        return;
    setupChanged(choice.application, choice.setup);
}

void CGdrConfigDialog::chooseReverse() {
    int application = -1;
    const int setupIndex = selectedSetup(application);
    if (setupIndex < 0)
        return;
    const SetupChoice choice = {m_treeVersion, application, setupIndex};
    const CGdrEditedApplication& edited = m_applications[application];
    const CGdrEditableSetup& setup = edited.setups[setupIndex];
    if (setup.slots() == 1) {
        reverse(choice, 0);
        return;
    }
    CPopupMenu menu;
    for (int slot = 0; slot < setup.slots(); ++slot)
        AppendMenuW(menu.get(), MF_STRING, kReverseCommand + slot,
                    menuText(edited.slotText(setup, slot)).c_str());
    RECT button;
    GetWindowRect(GetDlgItem(m_hWnd, IDC_REVERSE), &button);
    const int chosen = trackMenu(menu.get(), {button.left, button.bottom});
    if (chosen >= static_cast<int>(kReverseCommand))
        reverse(choice, chosen - static_cast<int>(kReverseCommand));
}

void CGdrConfigDialog::setDeadZone(int threshold) {
    int application = -1;
    const int setup = selectedSetup(application);
    if (setup < 0 || !liveObject(application))
        return;
    threshold = std::max(0, std::min(kLargestDeadZone, threshold));
    CGdrEditableSetup& edited = m_applications[application].setups[setup];
    SetDlgItemTextW(m_hWnd, IDC_DEADZONE_VALUE, std::to_wstring(threshold).c_str());
    if (edited.getThreshold() == threshold)
        return;
    edited.setThreshold(threshold);
    setupChanged(application, setup);
}

// After a confirmation; the built-in setups then stand in the dialog like any edit, for OK or
// Apply to store and Cancel to drop.
void CGdrConfigDialog::restoreDefaults(int application) {
    if (!liveObject(application))
        return;
    const std::wstring name = m_applications[application].name;
    wchar_t caption[128] = L"";
    GetWindowTextW(m_hWnd, caption, 128);
    const unsigned tree = m_treeVersion;
    const int answer = MessageBoxW(m_hWnd, formatText(IDS_RESTORE_QUESTION, name.c_str()).c_str(),
                                   caption, MB_OKCANCEL | MB_ICONQUESTION);
    // The box's loop may have let the table change.
    CGlo_Application* object = liveObject(application);
    if (answer != IDOK || tree != m_treeVersion || !object)
        return;
    std::vector<CGdrEditableSetup> defaults;
    if (!readDefaults(*object, name, pluginFolder(), defaults))
        return; // it crashed: the host's notice follows
    m_applications[application].setups.swap(defaults);
    m_applications[application].dirty = true;
    // The program's own speed goes back to normal too; the speed of all programs stays.
    m_applications[application].speedDirty =
        m_applications[application].speed != 1000 || m_applications[application].speedDirty;
    m_applications[application].speed = 1000;
    CGdrEditedApplication& edited = m_applications[application];
    if (edited.hasKeys()) {
        std::fill(edited.keys, edited.keys + kGdrButtons, CGdrEditedApplication::Keys());
        edited.keysDirty = true;
    }
    rebuildTree(application, -1, -1);
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

// The worker selects with the new setups from the next event on. An application that crashes
// while it takes them is out of use; the others still get theirs.
bool CGdrConfigDialog::applyChanges() {
    const std::wstring folder = pluginFolder();
    std::vector<std::wstring> unsaved; // by name: a crash elsewhere may renumber the list
    std::wstring failures;
    const auto fail = [&failures](const std::wstring& line) {
        failures += (failures.empty() ? L"" : L"\n") + line;
    };
    storeKeys();
    for (std::size_t round = 0; round <= m_applications.size(); ++round) {
        if (gloLoadedProgramTableGeneration() != m_tableGeneration)
            syncApplications(-1);
        int next = -1;
        for (std::size_t a = 0; a < m_applications.size() && next < 0; ++a)
            if (m_applications[a].dirty && liveObject(static_cast<int>(a)))
                next = static_cast<int>(a);
        if (next < 0)
            break;
        CGdrEditedApplication& application = m_applications[next];
        application.dirty = false;
        const SaveOutcome outcome =
            applySetups(*application.object, application.name, application.setups, folder);
        if (outcome.kind == SaveOutcome::Saved) {
            refreshApplication(next);
        } else if (outcome.kind == SaveOutcome::NotSaved) {
            unsaved.push_back(application.name);
            fail(formatText(IDS_SAVE_FAILED, application.name.c_str(),
                            saveFailureText(outcome.report).c_str()));
        } else {
            fail(formatText(IDS_SAVE_CRASHED, application.name.c_str()));
        }
    }
    if (gloLoadedProgramTableGeneration() != m_tableGeneration)
        syncApplications(-1);
    std::wstring speeds;
    if (!saveSpeeds(speeds))
        fail(speeds);
    // The edits that were not saved stay for another try; what else is left has no
    // application to take it.
    for (std::size_t a = 0; a < m_applications.size(); ++a)
        m_applications[a].dirty =
            liveObject(static_cast<int>(a)) &&
            std::find(unsaved.begin(), unsaved.end(), m_applications[a].name) != unsaved.end();
    m_saveNotice = failures;
    if (m_hWnd && IsWindow(m_hWnd)) {
        const int entry = selectedEntry();
        if (entry >= 0)
            rebuildTree(m_entries[entry].application, m_entries[entry].function,
                        m_entries[entry].kind == KeysEntry ? -2 - m_entries[entry].setup : -1);
        else
            updateStatus();
        updateButtons();
    }
    return failures.empty();
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
    if (!dropIt || direction < 0 || m_dragTree != m_treeVersion || entry < 0 ||
        entry >= static_cast<int>(m_entries.size()))
        return;
    const TreeEntry e = m_entries[entry];
    assign(e.application, e.function, direction);
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
