// Answers the message box that code under test shows, so a headless test does not block.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace glotest {

// While alive, a background thread watches for dialog boxes (class "#32770") of this process,
// records their caption and text, and closes each with IDOK.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    struct Box {
        std::wstring caption;
        std::wstring text;
        DWORD thread; // that showed it
    };

    // Boxes answered so far, in order.
    std::vector<Box> answered() const;
    // Waits until at least `count` boxes were answered or the time-out passed.
    bool waitFor(size_t count, DWORD timeoutMs = 10000) const;

private:
    void watch();

    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<Box> boxes_;
    std::thread thread_;
};

} // namespace glotest
