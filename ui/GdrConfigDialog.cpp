#include "ui/GdrConfigDialog.h"

#include "GloLoadedPrograms.h"
#include "GloUserSettings.h"
#include "config/GloHomeDirectory.h"
#include "ui/GdrApplicationAccess.h"
#include "ui/GdrConfigDialogParts.h"
#include "ui/GdrTexts.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <memory>

// The member, not the system's macro of the same name.
#undef DefWindowProc

namespace glo_ui {

using namespace dialog;

namespace {

const UINT_PTR kFrameTimer = 1;
const int kNameChars = 256; // an application's name, as it keeps it

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

} // namespace

namespace dialog {

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

} // namespace dialog

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
