#include "GloWnd.h"

// The member, not the system's macro of the same name.
#undef DefWindowProc

namespace {

// Property that binds a window to its CWnd object.
const wchar_t kObjectProperty[] = L"GloWndObject";

// Object whose window is being created on this thread: the first messages
// arrive before CreateWindowExW returns the handle.
thread_local CWnd* t_creating = nullptr;

// Waited for a window's own thread to destroy it.
const DWORD kOtherThreadWaitMs = 1000;

// Asks a window of this framework to destroy itself on its own thread.
UINT destroyMessage() {
    static const UINT message = RegisterWindowMessageW(L"GloWndDestroySelf");
    return message;
}

// The system's own procedure, not a stub of this library that leaves with it.
WNDPROC systemDefWindowProc() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    FARPROC proc = user32 ? GetProcAddress(user32, "DefWindowProcW") : nullptr;
    return reinterpret_cast<WNDPROC>(reinterpret_cast<void*>(proc));
}

// A class dialog handles its messages in its window procedure; the dialog manager sends
// WM_INITDIALOG only to dialogs that have a dialog procedure, so they get this one.
INT_PTR CALLBACK classDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

} // namespace

CWnd::CWnd() : m_hWnd(nullptr), m_ownsWindow(false) {}

CWnd::~CWnd() {
    if (m_ownsWindow)
        DestroyWindow();
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                    const RECT& rect, HWND parent, UINT idOrMenu, void* param) {
    if (m_hWnd)
        return FALSE;
    CWnd* outer = t_creating;
    t_creating = this;
    HWND hwnd = CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(idOrMenu)),
                                GetResourceInstance(), param);
    t_creating = outer;
    if (!hwnd)
        return FALSE;
    if (!m_hWnd) {
        // A class with another window procedure: bind now so that the object owns it.
        m_hWnd = hwnd;
        SetPropW(hwnd, kObjectProperty, this);
    }
    m_ownsWindow = true;
    return TRUE;
}

BOOL CWnd::Create(const wchar_t* className, const wchar_t* windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT id) {
    return CreateEx(0, className, windowName, style, rect, parent, id);
}

BOOL CWnd::CreateDlg(const wchar_t* templateName, HWND parent) {
    if (m_hWnd)
        return FALSE;
    CWnd* outer = t_creating;
    t_creating = this;
    HWND hwnd =
        CreateDialogParamW(GetResourceInstance(), templateName, parent, &classDialogProc, 0);
    t_creating = outer;
    if (!hwnd || m_hWnd != hwnd) {
        if (hwnd)
            ::DestroyWindow(hwnd); // not of a class of this framework: nothing would reach us
        return FALSE;
    }
    m_ownsWindow = true;
    return TRUE;
}

BOOL CWnd::Attach(HWND hwnd) {
    if (m_hWnd || !hwnd || FromHandlePermanent(hwnd) ||
        GetWindowLongPtrW(hwnd, GWLP_WNDPROC) !=
            reinterpret_cast<LONG_PTR>(&CWnd::StandardWindowProc))
        return FALSE;
    m_hWnd = hwnd;
    SetPropW(hwnd, kObjectProperty, this);
    m_ownsWindow = true;
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    return Destroy(kOtherThreadWaitMs);
}

BOOL CWnd::DestroyWindowNoWait() {
    return Destroy(0);
}

BOOL CWnd::Destroy(DWORD otherThreadWaitMs) {
    if (!m_hWnd || !m_ownsWindow)
        return FALSE;
    const HWND hwnd = m_hWnd;
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        if (::DestroyWindow(hwnd))
            return TRUE; // WM_NCDESTROY has detached the object
    } else if (otherThreadWaitMs > 0 && IsWindow(hwnd)) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(hwnd, destroyMessage(), 0, 0, SMTO_ABORTIFHUNG, otherThreadWaitMs,
                            &result);
    }
    if (!IsWindow(hwnd)) {
        Detach();
        return TRUE;
    }
    Detach();
    CutLoose(hwnd);
    return FALSE;
}

void CWnd::CutLoose(HWND hwnd) {
    const LONG_PTR ours = reinterpret_cast<LONG_PTR>(&CWnd::StandardWindowProc);
    const LONG_PTR fallback = reinterpret_cast<LONG_PTR>(systemDefWindowProc());
    if (!fallback)
        return;
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == ours)
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, fallback);
    // The class may outlive the library while the window lives on: a later window of it must
    // not start in code that is gone.
    if (static_cast<LONG_PTR>(GetClassLongPtrW(hwnd, GCLP_WNDPROC)) == ours)
        SetClassLongPtrW(hwnd, GCLP_WNDPROC, fallback);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void CWnd::Detach() {
    if (m_hWnd)
        RemovePropW(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    m_ownsWindow = false;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(GetPropW(hwnd, kObjectProperty)) : nullptr;
}

LRESULT CALLBACK CWnd::StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (!wnd && t_creating && !t_creating->m_hWnd) {
        wnd = t_creating;
        wnd->m_hWnd = hwnd;
        SetPropW(hwnd, kObjectProperty, wnd);
    }
    if (!wnd)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == destroyMessage() && message != 0)
        return ::DestroyWindow(hwnd);
    if (message == WM_NCDESTROY) {
        LRESULT result = wnd->WindowProc(message, wParam, lParam);
        wnd->Detach();
        return result;
    }
    return wnd->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    for (const GloMessageMapEntry* entry = GetMessageMap(); entry && entry->handler; ++entry) {
        UINT id = entry->registeredMessage ? *entry->registeredMessage : entry->message;
        if (id != 0 && id == message)
            return (this->*(entry->handler))(wParam, lParam);
    }
    return DefWindowProc(message, wParam, lParam);
}

const GloMessageMapEntry* CWnd::GetMessageMap() const {
    return nullptr;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::RegisterWndClass(const wchar_t* className, UINT style, HINSTANCE instance, HICON icon,
                            HCURSOR cursor, HBRUSH background) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, className, &existing))
        return TRUE;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &CWnd::StandardWindowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0;
}

HINSTANCE CWnd::GetResourceInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const wchar_t*>(&CWnd::GetResourceInstance), &module);
    return module;
}

const wchar_t* CWnd::GetAppTitle() {
    return L"Glo_core_proxy";
}

int CWnd::MessageBoxFromString(UINT stringId, UINT type) {
    wchar_t text[512] = L"";
    LoadStringW(GetResourceInstance(), stringId, text, 512);
    return MessageBoxW(nullptr, text, GetAppTitle(), type);
}
