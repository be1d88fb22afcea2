// Starting programs in the Wine prefix: App Paths entries (expandable, quoted) start them, a
// running window of the class is only raised, the mail and calendar clients run their registered
// command line, and where nothing is configured nothing happens. Only a program named by an
// absolute path is started; what is refused goes to the debugger's output.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/PluginHome.h"
#include "tests/functions/PluginProbe.h"

using namespace glotest;

namespace {

const CGlo_Event kPress(0, 0, 0, 0, 0, 0, 4, 1);
const CGlo_Event kRelease(0, 0, 0, 0, 0, 0, 4, 0);
const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

bool keyExists(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A key the test creates with a default value, removed with everything below `owned` (the key
// or the ancestor the test created for it) at the end.
class ScopedKey {
public:
    ScopedKey(HKEY root, const std::wstring& path, DWORD type, const std::wstring& value,
              std::wstring owned = L"")
        : root(root), owned(owned.empty() ? path : owned) {
        EXPECT_FALSE(keyExists(root, this->owned)) << "the prefix has it already";
        EXPECT_EQ(RegSetKeyValueW(root, path.c_str(), nullptr, type, value.c_str(),
                                  DWORD((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    ~ScopedKey() {
        RegDeleteTreeW(root, owned.c_str());
        RegDeleteKeyW(root, owned.c_str());
    }

private:
    HKEY root;
    std::wstring owned;
};

std::set<DWORD> notepadProcesses() {
    std::set<DWORD> processes;
    for (HWND top = nullptr; (top = FindWindowExW(nullptr, top, L"Notepad", nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(top, &pid);
        processes.insert(pid);
    }
    return processes;
}

// Counts the notepads that appear while it lives; each is ended when it goes, and then no
// handle of the launch keeps its process known.
struct NewNotepads {
    const std::set<DWORD> before = notepadProcesses();
    std::set<DWORD> started() const {
        std::set<DWORD> fresh;
        for (DWORD pid : notepadProcesses())
            if (!before.count(pid))
                fresh.insert(pid);
        return fresh;
    }
    // Waits until `count` have appeared, or `ms` passed; how many did.
    size_t waitFor(size_t count, int ms) const {
        for (int waited = 0; started().size() < count && waited < ms; waited += 20)
            Sleep(20);
        return started().size();
    }
    ~NewNotepads() {
        for (DWORD pid : started())
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
                TerminateProcess(process, 0);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
                // Wine lets go of an ended process a moment later; a kept handle never does.
                HANDLE kept = nullptr;
                for (int i = 0; i < 100 && (kept = OpenProcess(SYNCHRONIZE, FALSE, pid)); ++i)
                    CloseHandle(kept), Sleep(20);
                EXPECT_EQ(kept, nullptr) << "the launch kept a handle of the process";
            }
    }
};

// The first line of a file once it exists, waiting up to `ms`.
std::string firstLine(const std::wstring& file, int ms) {
    for (int waited = 0; waited <= ms; waited += 20, Sleep(20)) {
        std::ifstream in(file.c_str());
        std::string line;
        if (std::getline(in, line))
            return line.substr(0, line.find_last_not_of("\r ") + 1);
    }
    return "";
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(Launch, AppPathsStartTheProgramUnlessItsWindowRuns) {
    Probe probe;
    unsigned char data[520];
    unsigned long length = sizeof(data);
    EXPECT_EQ(CGlo_Plugin::getAppPath(L"glo-absent.exe", data, &length), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(length, 0u);

    ScopedKey word(HKEY_LOCAL_MACHINE, kAppPaths + L"winword.exe", REG_EXPAND_SZ,
                   L"%SystemRoot%\\notepad.exe");
    ScopedKey excel(HKEY_LOCAL_MACHINE, kAppPaths + L"excel.exe", REG_SZ,
                    L"\"C:\\windows\\notepad.exe\"");

    {
        NewNotepads notepads;
        probe.startWord(kRelease);
        EXPECT_EQ(notepads.waitFor(1, 500), 0u);
        probe.startWord(kPress); // the expanded path
        EXPECT_EQ(notepads.waitFor(1, 10000), 1u);
    }

    HWND excelWindow =
        makeWindow(L"XLMAIN", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 60, 200, 150, nullptr);
    HWND other =
        makeWindow(L"GloTestView", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 200, 150, nullptr);
    ASSERT_TRUE(bringToFront(other));
    NewNotepads notepads;
    probe.startExcel(kPress);
    pump(50);
    EXPECT_EQ(GetForegroundWindow(), excelWindow);
    EXPECT_EQ(notepads.waitFor(1, 500), 0u);
    DestroyWindow(excelWindow);
    DestroyWindow(other);
    probe.startExcel(motion(200)); // none runs: the path within the quotes
    EXPECT_EQ(notepads.waitFor(1, 10000), 1u);

    // A relative name would be found in the current directory (the host's is the plug-in
    // folder): here, the one holding a notepad.exe.
    ScopedKey relative(HKEY_LOCAL_MACHINE, kAppPaths + L"powerpnt.exe", REG_SZ, L"notepad.exe");
    wchar_t before[MAX_PATH], windows[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    GetWindowsDirectoryW(windows, MAX_PATH);
    SetCurrentDirectoryW(windows);
    DebugOutput output;
    probe.startPowerpoint(kPress);
    EXPECT_EQ(notepads.waitFor(2, 1000), 1u);
    SetCurrentDirectoryW(before);
    ASSERT_EQ(output.lines().size(), 1u);
    EXPECT_TRUE(contains(output.lines()[0], "not an absolute path: notepad.exe (") &&
                contains(output.lines()[0], "powerpnt.exe"))
        << output.lines()[0];
}

// The program of a registered command ends at its closing quote; unquoted, it may hold blanks,
// and a file named by the text before a blank is not taken for it; where no such text names a
// file, nothing is started. A relative one is refused.
TEST(Launch, MailAndCalendarClientsRunTheirRegisteredProgram) {
    Probe probe;
    wchar_t temp[MAX_PATH], system[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring mark = temp + std::wstring(L"glo_client.txt");
    DeleteFileW(mark.c_str());
    probe.startMail(kPress); // no client configured
    EXPECT_EQ(firstLine(mark, 300), "");

    const std::wstring folder = temp + std::wstring(L"glo client"),
                       decoy = temp + std::wstring(L"glo.exe");
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((system + std::wstring(L"\\cmd.exe")).c_str(),
                          (folder + L"\\cmd.exe").c_str(), FALSE));
    writeFile(decoy, "not a program");
    auto echo = [&](const wchar_t* word) {
        return L" /c echo " + std::wstring(word) + L">\"" + mark + L"\"";
    };
    // The mail client is the user's choice, the calendar client the machine's.
    const struct {
        const wchar_t* kind;
        HKEY choice;
        void (Probe::*start)(const CGlo_Event&);
        std::wstring command;
        const char* written;
    } clients[] = {
        {L"Mail", HKEY_CURRENT_USER, &Probe::startMail, folder + L"\\cmd.exe" + echo(L"Mail"),
         "Mail"},
        {L"Calendar", HKEY_LOCAL_MACHINE, &Probe::startCalendar,
         L"\"" + std::wstring(system) + L"\\cmd.exe\"" + echo(L"Calendar"), "Calendar"},
        {L"Calendar", HKEY_LOCAL_MACHINE, &Probe::startCalendar, L"cmd.exe" + echo(L"Relative"),
         ""},
        // Uninstalled: no stretch names a file, and the text before the first blank is no
        // program to start in its place.
        {L"Mail", HKEY_CURRENT_USER, &Probe::startMail, folder + L"\\gone.exe" + echo(L"Gone"), ""},
    };
    DebugOutput output;
    for (const auto& client : clients) {
        const std::wstring kind = client.kind, name = L"GloTest" + kind;
        const std::wstring key = L"SOFTWARE\\Clients\\" + kind;
        ScopedKey chosen(client.choice, key, REG_SZ, name,
                         client.choice == HKEY_CURRENT_USER ? L"SOFTWARE\\Clients" : L"");
        ScopedKey command(HKEY_LOCAL_MACHINE, key + L"\\" + name + L"\\shell\\open\\command",
                          REG_SZ, client.command, key + L"\\" + name);
        (probe.*client.start)(kRelease);
        EXPECT_EQ(firstLine(mark, 300), "");
        (probe.*client.start)(motion(100));
        EXPECT_EQ(firstLine(mark, client.written[0] ? 10000 : 1000), client.written);
        DeleteFileW(mark.c_str());
    }
    ASSERT_EQ(output.lines().size(), 2u);
    EXPECT_TRUE(contains(output.lines()[0], "GloTestCalendar") &&
                contains(output.lines()[0], "not an absolute path: cmd.exe ("))
        << output.lines()[0];
    EXPECT_TRUE(contains(output.lines()[1], "GloTestMail") &&
                contains(output.lines()[1], "no part of the command names an existing program: ") &&
                contains(output.lines()[1], "gone.exe /c echo Gone"))
        << output.lines()[1];
    DeleteFileW(decoy.c_str());
    DeleteFileW((folder + L"\\cmd.exe").c_str());
    RemoveDirectoryW(folder.c_str());
}
