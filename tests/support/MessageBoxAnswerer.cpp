#include "tests/support/MessageBoxAnswerer.h"

namespace glotest {

namespace {

BOOL CALLBACK findDialogProc(HWND window, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (pid == GetCurrentProcessId() && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
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

MessageBoxAnswerer::MessageBoxAnswerer() : thread_([this] { watch(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}

void MessageBoxAnswerer::watch() {
    HWND last = nullptr;
    while (!stop_) {
        HWND dialog = nullptr;
        EnumWindows(findDialogProc, reinterpret_cast<LPARAM>(&dialog));
        if (dialog && dialog != last) {
            wchar_t caption[256] = {};
            GetWindowTextW(dialog, caption, 256);
            std::lock_guard<std::mutex> hold(lock_);
            boxes_.push_back(
                {caption, dialogText(dialog), GetWindowThreadProcessId(dialog, nullptr)});
            last = dialog;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        Sleep(20);
    }
}

std::vector<MessageBoxAnswerer::Box> MessageBoxAnswerer::answered() const {
    std::lock_guard<std::mutex> hold(lock_);
    return boxes_;
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
