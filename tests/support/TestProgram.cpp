#include "tests/support/TestProgram.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/FakeDriver.h"

namespace glotest {

namespace {
std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}
} // namespace

TestProgram::TestProgram(std::wstring commandLine, const std::wstring& output) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE out = output.empty() ? nul
                                : CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                              &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = startup.hStdError = out;
    if (out == INVALID_HANDLE_VALUE)
        ADD_FAILURE() << "cannot write " << narrow(output) << ": error " << GetLastError();
    // Wine now and then fails a start with an internal error while other processes start on a
    // loaded machine (seen twice in many runs, each time a tool of ours); the program is not at
    // fault and a second start succeeds. Any other failure is said at once.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &process_))
            break;
        const DWORD error = GetLastError();
        process_ = PROCESS_INFORMATION();
        if (error == ERROR_INTERNAL_ERROR && attempt < 3) {
            Sleep(200);
            continue;
        }
        ADD_FAILURE() << "cannot start " << narrow(commandLine) << ": error " << error;
        break;
    }
    if (out != nul && out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    CloseHandle(nul);
}

TestProgram::~TestProgram() {
    if (process_.hProcess == nullptr)
        return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

DWORD TestProgram::wait(DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (process_.hProcess != nullptr &&
        WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

DWORD runDriver(const std::wstring& folder, const std::string& trace, const std::wstring& options,
                const std::function<void()>& during) {
    const std::wstring path = folder + L"\\test.trace";
    std::ofstream(path.c_str(), std::ios::binary) << trace;
    DWORD code = STILL_ACTIVE;
    {
        TestProgram driver(L"glo_driver.exe --device-type 6" + options + L" \"" + path + L"\"");
        EXPECT_TRUE(driver.started()) << "glo_driver did not start";
        const ULONGLONG end = GetTickCount64() + 30000;
        while (driver.started() && (code = driver.wait(0)) == STILL_ACTIVE &&
               GetTickCount64() < end) {
            pumpMessages(5);
            during();
        }
        EXPECT_NE(code, DWORD(STILL_ACTIVE)) << "glo_driver did not finish";
    }
    pumpMessages(5);
    DeleteFileW(path.c_str());
    return code;
}

std::string hold(int count, const char* values) {
    return "repeat " + std::to_string(count) + "\n  motion " + values + "\nend\n";
}

bool bringToFront(HWND window) {
    for (int i = 0; i < 100; ++i) {
        SetForegroundWindow(window);
        pumpMessages(20);
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        if (GetForegroundWindow() == window && GetGUIThreadInfo(0, &info) &&
            info.hwndActive == window)
            return true;
    }
    return false;
}

void cursorOn(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

} // namespace glotest
