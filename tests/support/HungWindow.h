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

private:
    void run();

    HWND window_ = nullptr;
    HANDLE ready_;
    HANDLE answer_;
    std::thread thread_;
};

} // namespace glotest
