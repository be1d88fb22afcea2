#include "tests/support/InputRecorder.h"

namespace glotest {

InputRecorder* InputRecorder::current_ = nullptr;

InputRecorder::InputRecorder(bool mouse) : mouse_(mouse) {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    current_ = this;
    thread_ = std::thread([this] { run(); });
    WaitForSingleObject(ready_, 10000);
}

InputRecorder::~InputRecorder() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    current_ = nullptr;
    CloseHandle(ready_);
}

void InputRecorder::run() {
    threadId_ = GetCurrentThreadId();
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue must exist before the quit post
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HHOOK keyboard = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardProc, instance, 0);
    HHOOK mouse = mouse_ ? SetWindowsHookExW(WH_MOUSE_LL, mouseProc, instance, 0) : nullptr;
    active_ = keyboard && (mouse || !mouse_);
    SetEvent(ready_);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (keyboard)
        UnhookWindowsHookEx(keyboard);
    if (mouse)
        UnhookWindowsHookEx(mouse);
}

void InputRecorder::add(const RecordedInput& input) {
    std::lock_guard<std::mutex> hold(lock_);
    events_.push_back(input);
}

LRESULT CALLBACK InputRecorder::keyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && current_) {
        auto* info = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
        current_->add({RecordedInput::Key, static_cast<UINT>(wParam), info->vkCode, 0,
                       (info->flags & LLKHF_INJECTED) != 0, info->scanCode, info->flags});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK InputRecorder::mouseProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && current_) {
        auto* info = reinterpret_cast<MSLLHOOKSTRUCT*>(lParam);
        current_->add({RecordedInput::Mouse, static_cast<UINT>(wParam), 0, info->mouseData,
                       (info->flags & LLMHF_INJECTED) != 0, 0, info->flags});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<RecordedInput> InputRecorder::events() const {
    std::lock_guard<std::mutex> hold(lock_);
    return events_;
}

void InputRecorder::clear() {
    std::lock_guard<std::mutex> hold(lock_);
    events_.clear();
}

bool InputRecorder::waitFor(size_t count, DWORD timeoutMs) const {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (events().size() < count) {
        if (GetTickCount64() > end)
            return false;
        Sleep(5);
    }
    return true;
}

} // namespace glotest
