// Programs a test starts and ends, the substitute driver replaying a trace among them. Their
// standard handles are the null device, so that they never hold on to the test's output.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace glotest {

class TestProgram {
public:
    // With `output`, the program's standard output and error go to that file.
    explicit TestProgram(std::wstring commandLine, const std::wstring& output = L"");
    // Ends the program if it still runs.
    ~TestProgram();
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    DWORD id() const { return process_.dwProcessId; }
    // Waits for the program to end on its own; its exit code, or STILL_ACTIVE.
    DWORD wait(DWORD timeoutMs);

private:
    PROCESS_INFORMATION process_ = {};
};

// Replays `trace` with glo_driver (device scaling 1:1, `options` added), writing it to
// `folder`\test.trace; `during` runs about every 5 ms on this thread, which pumps meanwhile.
// The driver's exit code; a failure when it does not end within 30 s.
DWORD runDriver(const std::wstring& folder, const std::string& trace, const std::wstring& options,
                const std::function<void()>& during);
// A trace block: `count` motion events of the six raw values.
std::string hold(int count, const char* values);

// Brings a window of any process to the front, active as the system reports it, trying for
// about two seconds.
bool bringToFront(HWND window);
// Puts the cursor on the centre of a window.
void cursorOn(HWND window);

} // namespace glotest
