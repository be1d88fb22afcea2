// Wine's notepad as the program a benchmark scrolls: started with its own standard handles (so
// that it never holds on to the benchmark's output), filled with a long document, in front with
// the cursor on its text; ended with the benchmark.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

class Notepad {
public:
    explicit Notepad(int lines) {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        const HANDLE nul =
            CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherit, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
        wchar_t command[] = L"notepad.exe";
        if (!CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &process))
            process = PROCESS_INFORMATION();
        CloseHandle(nul);
        if (process.hProcess == nullptr)
            return;
        WaitForInputIdle(process.hProcess, 10000);
        for (int i = 0; i < 500 && text == nullptr; ++i) {
            EnumWindows(&findFrame, reinterpret_cast<LPARAM>(this));
            if (frame != nullptr)
                text = FindWindowExW(frame, nullptr, L"Edit", nullptr);
            if (text == nullptr)
                Sleep(20);
        }
        if (text == nullptr)
            return;
        std::wstring document;
        for (int line = 1; line <= lines; ++line)
            document += L"Line " + std::to_wstring(line) + L" of a long document\r\n";
        SendMessageW(text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(document.c_str()));
        for (int i = 0; i < 100 && GetForegroundWindow() != frame; ++i) {
            SetForegroundWindow(frame);
            Sleep(20);
        }
        RECT r;
        GetWindowRect(text, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    ~Notepad() {
        if (process.hProcess == nullptr)
            return;
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    Notepad(const Notepad&) = delete;
    Notepad& operator=(const Notepad&) = delete;

    // In front, with the cursor on its text.
    bool ready() const {
        POINT cursor;
        return text != nullptr && GetForegroundWindow() == frame && GetCursorPos(&cursor) &&
               WindowFromPoint(cursor) == text;
    }
    HWND textWindow() const { return text; }
    long firstVisibleLine() const {
        return static_cast<long>(SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0));
    }
    void toTop() const { SendMessageW(text, WM_VSCROLL, SB_TOP, 0); }

private:
    static BOOL CALLBACK findFrame(HWND window, LPARAM self) {
        Notepad& notepad = *reinterpret_cast<Notepad*>(self);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != notepad.process.dwProcessId || !IsWindowVisible(window))
            return TRUE;
        notepad.frame = window;
        return FALSE;
    }

    PROCESS_INFORMATION process = {};
    HWND frame = nullptr;
    HWND text = nullptr;
};

} // namespace bench
