// Records the keyboard and mouse input that reaches the desktop, injected input included.
#pragma once

#include <windows.h>

#include <mutex>
#include <thread>
#include <vector>

namespace glotest {

struct RecordedInput {
    enum Kind { Key, Mouse } kind;
    UINT message;    // WM_KEYDOWN, WM_KEYUP, WM_MOUSEMOVE, WM_MBUTTONDOWN, WM_MOUSEWHEEL, ...
    DWORD vkCode;    // keys only
    DWORD mouseData; // wheel delta in the high word, X buttons
    bool injected;
    DWORD scanCode; // keys only
    DWORD flags;    // the hook's LLKHF_ / LLMHF_ flags
};

// While alive, low-level keyboard and mouse hooks on a thread of their own record every event
// in order. Only one recorder may exist at a time. A mouse hook delays every mouse input until
// it has seen it: under Wine a move a program injects itself (ReleaseCapture does) can then land
// after a later SetCursorPos; tests that need only keys leave it out.
class InputRecorder {
public:
    explicit InputRecorder(bool mouse = true);
    ~InputRecorder();
    InputRecorder(const InputRecorder&) = delete;
    InputRecorder& operator=(const InputRecorder&) = delete;

    bool active() const { return active_; }
    std::vector<RecordedInput> events() const;
    void clear();
    // Waits until at least `count` events were recorded or the time-out passed.
    bool waitFor(size_t count, DWORD timeoutMs = 5000) const;

private:
    static LRESULT CALLBACK keyboardProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK mouseProc(int code, WPARAM wParam, LPARAM lParam);
    void run();
    void add(const RecordedInput& input);

    static InputRecorder* current_;
    mutable std::mutex lock_;
    std::vector<RecordedInput> events_;
    HANDLE ready_ = nullptr;
    DWORD threadId_ = 0;
    bool active_ = false;
    bool mouse_ = true;
    std::thread thread_;
};

} // namespace glotest
