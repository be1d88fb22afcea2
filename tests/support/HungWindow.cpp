#include "tests/support/HungWindow.h"

#include "tests/support/TestWindow.h"

namespace glotest {

namespace {
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

void HungWindow::run() {
    window_ = makeWindow(L"GloTestHungWindow", WS_POPUP, 0, 0, 10, 10);
    SetWindowTextW(window_, L"hung"); // the window wrapper tests read it
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
