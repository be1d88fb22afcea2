#include "HungWindow.h"

namespace glotest {

namespace {
const wchar_t kClass[] = L"GloTestHungWindow";
const UINT kQuit = WM_APP + 1;
} // namespace

HungWindow::HungWindow()
    : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      answer_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] { run(); });
    WaitForSingleObject(ready_, 10000);
}

HungWindow::~HungWindow() {
    answer();
    PostMessageW(window_, kQuit, 0, 0);
    thread_.join();
    CloseHandle(ready_);
    CloseHandle(answer_);
}

void HungWindow::answer() {
    SetEvent(answer_);
}

LRESULT CALLBACK HungWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<HungWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message >= WM_USER)
        InterlockedIncrement(&self->handled_);
    return DefWindowProcW(window, message, wParam, lParam);
}

void HungWindow::run() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &HungWindow::windowProc;
    wc.lpszClassName = kClass;
    RegisterClassW(&wc); // a second registration fails harmlessly
    window_ = CreateWindowExW(0, kClass, L"hung", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              this);
    SetEvent(ready_);
    WaitForSingleObject(answer_, INFINITE); // not pumping: senders block
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == kQuit)
            break;
        DispatchMessageW(&message);
    }
    DestroyWindow(window_);
}

} // namespace glotest
