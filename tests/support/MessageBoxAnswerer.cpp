#include "MessageBoxAnswerer.h"

namespace glotest {

namespace {

struct Found {
    HWND dialog = nullptr;
};

BOOL CALLBACK findDialogProc(HWND window, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (pid == GetCurrentProcessId() && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<Found*>(param)->dialog = window;
        return FALSE;
    }
    return TRUE;
}

// The message text of a message box is its static control 0xFFFF.
std::wstring dialogText(HWND dialog) {
    wchar_t text[1024] = {};
    if (HWND label = GetDlgItem(dialog, 0xFFFF))
        GetWindowTextW(label, text, 1024);
    return text;
}

} // namespace

MessageBoxAnswerer::MessageBoxAnswerer() {
    InitializeCriticalSection(&lock_);
    thread_ = std::thread([this] { watch(); });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
    DeleteCriticalSection(&lock_);
}

void MessageBoxAnswerer::watch() {
    HWND last = nullptr;
    while (!stop_) {
        Found found;
        EnumWindows(findDialogProc, reinterpret_cast<LPARAM>(&found));
        if (found.dialog && found.dialog != last) {
            wchar_t caption[256] = {};
            GetWindowTextW(found.dialog, caption, 256);
            Box box{caption, dialogText(found.dialog),
                    GetWindowThreadProcessId(found.dialog, nullptr)};
            EnterCriticalSection(&lock_);
            boxes_.push_back(box);
            LeaveCriticalSection(&lock_);
            last = found.dialog;
            PostMessageW(found.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        Sleep(20);
    }
}

std::vector<MessageBoxAnswerer::Box> MessageBoxAnswerer::answered() const {
    EnterCriticalSection(&lock_);
    std::vector<Box> copy = boxes_;
    LeaveCriticalSection(&lock_);
    return copy;
}

bool MessageBoxAnswerer::waitFor(size_t count, DWORD timeoutMs) const {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (answered().size() < count) {
        if (GetTickCount64() > end)
            return false;
        Sleep(10);
    }
    return true;
}

} // namespace glotest
