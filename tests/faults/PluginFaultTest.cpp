// Plug-ins that fail: ones that crash in each of their entry points, lack exports, are no
// libraries, or sit where no folder can be read. The driver's process lives on, the log names
// the culprit, and the other plug-ins keep serving.
#include "tests/support/DriverTest.h"

#include <fstream>
#include <regex>

#include "tests/support/MessageBoxAnswerer.h"
#include "host/GloPluginHost.h"

namespace {

using glotest::eventually;

class PluginFaults : public glotest::DriverTest {
protected:
    // Copies the crashing plug-in as `file` and e2e_recorder beside it, then starts the core;
    // `pin` keeps the crasher loaded to read its recording.
    void startWith(const wchar_t* file, bool pin = true) {
        crasher = home.add(L"crash_plugin", home.plugins + file);
        recorder = home.add(L"e2e_recorder");
        showTarget();
        start();
        recording = exported<e2e::Recording* (*)()>(recorder, "recorded")();
        if (pin)
            crashed = exported<e2e::Recording* (*)()>(crasher, "recorded")();
    }
    // The crash on the worker is reported at the next event, which the other plug-in serves.
    void crashInAFunction(const wchar_t* file, const wchar_t* code) {
        startWith(file);
        send(ZUVID_EVENT_MOTION, 200);
        ASSERT_TRUE(eventually([&] { return crashed->panCalls == 1; }));
        pump(50);
        send(ZUVID_EVENT_MOTION, 200);
        expectReport(L"a function", code, L"it is no longer used");
        EXPECT_TRUE(eventually([&] { return trace().rfind("Pm", 0) == 0; })) << trace();
    }
    // The one crash report: plug-in (by its library's name when "load" crashed), entry point,
    // code and outcome.
    void expectReport(const std::wstring& where, const wchar_t* code, const std::wstring& outcome) {
        const std::vector<std::wstring> lines = logLines(L"crashed");
        ASSERT_EQ(lines.size(), 1u);
        const std::wstring file = crasher.substr(crasher.rfind(L'\\') + 1);
        const std::wstring plugin = where == L"load" ? file : L"Crasher \\(" + file + L"\\)";
        const std::wregex expected(L"Vex_Core_Proxy\\.dll: Plug-in " + plugin + L" crashed in " +
                                   where + L": exception " + code + L" at " + file +
                                   L"\\+0x[0-9a-f]+; " + outcome + L"\n");
        EXPECT_TRUE(std::regex_match(lines[0], expected)) << lines[0];
    }

    std::wstring crasher, recorder;
    e2e::Recording* crashed = nullptr; // the crashing plug-in's own recording
};

// A crash in "load": the library is left loaded but unused; the other plug-in serves.
TEST_F(PluginFaults, CrashInLoad) {
    startWith(L"crash_load.dll", false);
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 1);
    expectReport(L"load", L"0xc0000005", L"its library stays loaded, unused");
    send(ZUVID_EVENT_MOTION, 200);
    EXPECT_TRUE(eventually([&] { return trace().rfind("Pm", 0) == 0; })) << trace();
    close();
    EXPECT_NE(GetModuleHandleW(crasher.c_str()), nullptr);
}

// A crash in "match": asked nothing more, sent nothing; still unloaded at the end.
TEST_F(PluginFaults, CrashInMatch) {
    startWith(L"crash_match.dll");
    EXPECT_EQ(ZuVidIsValidHdl(window), 1); // e2e_recorder serves the window
    expectReport(L"match", L"0xc0000005", L"it is no longer used");
    send(ZUVID_EVENT_MOTION, 200);
    EXPECT_TRUE(eventually([&] { return trace().rfind("Pm", 0) == 0; })) << trace();
    close();
    EXPECT_EQ(crashed->unloads, 1);
    EXPECT_EQ(logLines(L"crashed").size(), 1u);
}

TEST_F(PluginFaults, CrashInSendevent) {
    startWith(L"crash_sendevent.dll");
    send(ZUVID_EVENT_MOTION, 200);
    expectReport(L"sendevent", L"0xc0000005", L"it is no longer used");
    send(ZUVID_EVENT_MOTION, 200); // the next event goes to the plug-in that is left
    EXPECT_TRUE(eventually([&] { return trace().rfind("Pm", 0) == 0; })) << trace();
    EXPECT_EQ(crashed->panCalls, 0);
}

// A crash on the plug-in's worker, inside its function: the worker calls the plug-in no more
// (not even with the resting zero), the next event logs the crash, and the window's events go
// to the plug-in that is left. The crashed one is still unloaded with the rest.
TEST_F(PluginFaults, CrashInAFunction) {
    crashInAFunction(L"crash_function.dll", L"0xc0000005");
    send(ZUVID_EVENT_ZERO);
    EXPECT_TRUE(eventually([&] { return trace().find("Pz") != std::string::npos; })) << trace();
    EXPECT_EQ(crashed->panCalls, 1);
    close();
    EXPECT_EQ(crashed->unloads, 1);
    EXPECT_EQ(trace().substr(trace().size() - 2), "U-");
}

// A C++ exception that leaves a function is caught like a crash.
TEST_F(PluginFaults, ExceptionFromAFunction) {
    crashInAFunction(L"crash_throw.dll", L"0xe0474c4f");
}

// A crash in "unload": the close completes, the crash is logged, the library stays loaded.
TEST_F(PluginFaults, CrashInUnload) {
    startWith(L"crash_unload.dll");
    send(ZUVID_EVENT_MOTION, 200);
    ASSERT_TRUE(eventually([&] { return crashed->panCalls >= 1; }));
    close();
    expectReport(L"unload", L"0xc0000005", L"its library stays loaded");
    EXPECT_EQ(crashed->unloads, 1);
    EXPECT_EQ(trace().substr(trace().size() - 2), "U-"); // the other one was unloaded
}

// Libraries that are no plug-ins (one export, none, a null application) are skipped; only the
// one without an application keeps a (silent) entry.
TEST_F(PluginFaults, MissingExportsOrApplication) {
    home.add(L"host_loadonly", home.plugins + L"only_load.dll");
    home.add(L"host_nullapp", home.plugins + L"null_app.dll");
    home.add(L"e2e_recorder");
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    home.files.push_back(home.plugins + L"no_exports.dll");
    ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\msimg32.dll").c_str(),
                          home.files.back().c_str(), FALSE));
    showTarget();
    start();
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 2);
    EXPECT_EQ(GetModuleHandleW((home.plugins + L"only_load.dll").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleW((home.plugins + L"no_exports.dll").c_str()), nullptr);
    EXPECT_EQ(ZuVidIsValidHdl(window), 1);
}

// Files that are no libraries, a library of the other architecture and a folder with the
// library suffix: skipped without a system error box and without delay.
TEST_F(PluginFaults, NotALibrary) {
    glotest::MessageBoxAnswerer answerer;
    home.add(L"e2e_recorder");
    const auto write = [&](const wchar_t* name, const std::string& bytes) {
        home.files.push_back(home.plugins + name);
        std::ofstream(home.files.back().c_str(), std::ios::binary) << bytes;
    };
    write(L"text.dll", "not a library\r\n");
    write(L"empty.dll", "");
    std::ifstream real((home.plugins + L"e2e_recorder.dll").c_str(), std::ios::binary);
    std::string head(4096, '\0');
    real.read(&head[0], head.size());
    write(L"cut.dll", head);
    write(L"mz.dll", "MZ" + std::string(200, '\xff'));
    if (const char* other = std::getenv("GLO_I686_DLL")) { // a Linux path
        home.files.push_back(home.plugins + L"other_architecture.dll");
        const std::string source = std::string("Z:") + other;
        const std::wstring wide(source.begin(), source.end());
        EXPECT_TRUE(CopyFileW(wide.c_str(), home.files.back().c_str(), FALSE));
    }
    const std::wstring folder = home.plugins + L"folder.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    showTarget();
    const DWORD begin = GetTickCount();
    start();
    EXPECT_LT(GetTickCount() - begin, 5000u);
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 1);
    EXPECT_EQ(ZuVidIsValidHdl(window), 1);
    EXPECT_TRUE(answerer.answered().empty());
}

// A plug-in folder that cannot be entered or listed: nothing is loaded and the core runs on.
// (The tests run as root, for whom no folder is unreadable: a file in the folder's place, a
// drive that does not exist and a network path stand in.)
TEST_F(PluginFaults, FolderCannotBeRead) {
    showTarget();
    RemoveDirectoryW(home.plugins.c_str());
    home.files.push_back(home.plugins.substr(0, home.plugins.size() - 1));
    std::ofstream(home.files.back().c_str()) << "a file where the folder should be";
    for (const std::wstring& where :
         {home.home, std::wstring(L"Q:\\no drive"), std::wstring(L"\\\\nohost.invalid\\share")}) {
        glotest::PluginHome::setHome(where);
        const DWORD begin = GetTickCount();
        start();
        EXPECT_LT(GetTickCount() - begin, 10000u);
        EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 0);
        EXPECT_EQ(ZuVidIsValidHdl(window), 0);
        send(ZUVID_EVENT_MOTION, 200);
        close();
    }
}

} // namespace
