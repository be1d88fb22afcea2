// A program that a test starts and ends: its standard handles are the null device, so that it
// never holds on to the test's output, and it is ended when the object goes.
#pragma once

#include <windows.h>

#include <string>

namespace glotest {

class TestProgram {
public:
    explicit TestProgram(std::wstring commandLine);
    // Ends the program if it still runs.
    ~TestProgram();
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    DWORD id() const { return process_.dwProcessId; }
    HANDLE handle() const { return process_.hProcess; }
    // Waits for the program to end on its own; its exit code, or STILL_ACTIVE.
    DWORD wait(DWORD timeoutMs);

private:
    PROCESS_INFORMATION process_ = {};
};

// Brings a window of any process to the front, trying for about two seconds.
bool bringToFront(HWND window);

// Handles this thread's messages for about `ms` milliseconds.
void pumpFor(int ms);

} // namespace glotest
