// A window whose thread stops answering: a message sent to it blocks the sender until the test
// lets the thread pump again, like a program that hangs.
#pragma once

#include <windows.h>

#include <thread>

namespace glotest {

class HungWindow {
public:
    // The window exists and its thread has stopped pumping when the constructor returns.
    HungWindow();
    // Lets the thread answer (if not yet done), then ends it.
    ~HungWindow();
    HungWindow(const HungWindow&) = delete;
    HungWindow& operator=(const HungWindow&) = delete;

    HWND window() const { return window_; }
    // The thread answers the messages sent meanwhile and every later one.
    void answer();
    // Messages the window has handled so far.
    LONG handled() const { return handled_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void run();

    HWND window_ = nullptr;
    HANDLE ready_;
    HANDLE answer_;
    volatile LONG handled_ = 0;
    std::thread thread_;
};

} // namespace glotest
