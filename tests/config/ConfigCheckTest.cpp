// The reload as the checker tool reports it, and the application's own reload of a file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConfigTestSupport.h"
#include "GdrConfigFile.h"
#include "GloApplication.h"

using namespace cfgtest;

namespace {

struct Recorder : glo_config::CConfigCheckObserver {
    void onLine(const glo_config::LineInfo& line) override {
        if (line.key == glo_config::KeyNone && line.length > 0)
            ignored.push_back(line.number);
        if (line.truncated)
            truncated.push_back(line.number);
        if (line.hasNul)
            nul.push_back(line.number);
    }
    void onRecord(const glo_config::RecordInfo& record, CGlo_FunctionSetup& setup) override {
        records.push_back(record);
        valid.push_back(setup.IsValid());
    }
    std::vector<long long> ignored, truncated, nul;
    std::vector<glo_config::RecordInfo> records;
    std::vector<bool> valid;
};

void noop(const CGlo_Event&) {}

CGlo_PluginFunction gFunctions[] = {
    CGlo_PluginFunction(L"MyPan", GLO_TwoAxisFunction, noop, 1, 2, 4, 3, 5, 0, 0, 0, 0, 0, 0, 0, 0),
    CGlo_PluginFunction(L"MyKey", GLO_ButtonFunction, noop, 25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                        0)};

// The smallest application: two functions, no button setups, no defaults.
class FileApp : public CGlo_Application {
public:
    int match(HWND) override { return 0; }
    int init() override { return 1; }
    int sendevent(CGlo_Event&) override { return 0; }
    int getNumberOfFunctions() override { return 2; }
    CGlo_PluginFunction* queryFunction(const wchar_t* n) override {
        for (CGlo_PluginFunction& f : gFunctions)
            if (wcscmp(f.getName(), n) == 0)
                return &f;
        return nullptr;
    }
    CGlo_PluginFunction* queryFunction(int i) override {
        return i >= 0 && i < 2 ? &gFunctions[i] : nullptr;
    }
    int setConfiguration(CGlo_FunctionSetup*, int) override { return 0; }
    int setDefaultConfiguration() override { return ++defaults; }
    int setButtonConfiguration() override { return 0; }
    int defaults = 0;
};

} // namespace

TEST(ConfigCheck, ReportsEveryRecordAndEveryDroppedLine) {
    TempFolder folder;
    const std::wstring file = folder.file(L"Check.cfg");
    writeBytes(file, "[Function]\r\nFunction=MyPan\r\nEventType=motion\r\nNumberOfAxis=2\r\n"
                     "Axis=0 2\r\nAxisPolarity=1 -1\r\nThresold=30\r\n" +
                         std::string(400, 'x') + "\r\n" + std::string("Button=\0x", 9) +
                         "\r\n[Function]\r\nFunction=MyKey\r\nEventType=button\r\nButton=3");
    Recorder r;
    ASSERT_EQ(glo_config::checkConfigFile(file.c_str(), r), 3);
    EXPECT_EQ(r.ignored, (std::vector<long long>{7, 8}));
    EXPECT_EQ(r.truncated, (std::vector<long long>{8}));
    EXPECT_EQ(r.nul, (std::vector<long long>{9}));
    ASSERT_EQ(r.records.size(), 3u);
    EXPECT_EQ(r.records[1].firstLine, 2);
    EXPECT_EQ(r.records[1].lastLine, 10);
    EXPECT_TRUE(r.valid[1]); // the misspelt threshold leaves 0
    EXPECT_FALSE(r.records[1].keysSeen & (1u << glo_config::KeyThreshold));
    EXPECT_FALSE(r.records[1].atEnd);
    EXPECT_TRUE(r.records[2].atEnd); // cut off: no transition
    EXPECT_FALSE(r.valid[2]);
    EXPECT_EQ(glo_config::checkConfigFile(folder.file(L"Missing.cfg").c_str(), r), -1);
}

TEST(ApplicationFile, SaveAndReloadKeepTheConfiguration) {
    TempFolder folder;
    FileApp app;
    app.setName(folder.file(L"Sample").c_str());
    CGlo_FunctionSetup pan(L"MyPan", GLO_MotionEvent, 2, 0, 2, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, 30);
    CGlo_FunctionSetup key(L"MyKey", GLO_ButtonEvent, 3, GLO_ButtonPress);
    app.getMultiplexer().addConnection(pan, &gFunctions[0]);
    app.getMultiplexer().addConnection(key, &gFunctions[1]);
    app.serialize();
    const std::wstring file = folder.file(L"Sample.cfg");
    EXPECT_EQ(readBytes(file).substr(0, 12), "[Function]\r\n");
    EXPECT_FALSE(exists(file + L".tmp"));

    FileApp reloaded;
    reloaded.setName(folder.file(L"Sample").c_str());
    reloaded.deserialize();
    EXPECT_EQ(reloaded.defaults, 0);
    ASSERT_EQ(reloaded.getNumberOfConnections(), 2);
    EXPECT_TRUE(sameSetup(*reloaded.queryFunctionSetup(0), pan));
    EXPECT_TRUE(sameSetup(*reloaded.queryFunctionSetup(1), key));
}

namespace {
// Runs the checker beside the test executable; its exit code and what it printed.
int runChecker(const std::wstring& arguments, std::string& output) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self);
    exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"glo_cfgcheck.exe";
    if (!exists(exe))
        return -1;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = writeEnd;
    start.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                        &process))
        return -1;
    CloseHandle(writeEnd);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    return static_cast<int>(code);
}
} // namespace

TEST(ConfigCheckTool, NamesTheRecordsThatAReloadSkips) {
    TempFolder folder;
    const std::wstring file = folder.file(L"Edited.cfg");
    writeBytes(file, "[Function]\r\nFunction=MyPan\r\nEventType=Motion\r\n[Function]\r\n"
                     "Function=MyKey\r\nEventType=button\r\nButton=3\r\nButtonEvent=press\r\n");
    std::string output;
    const int code = runChecker(L"\"" + file + L"\"", output);
    if (code == -1)
        GTEST_SKIP() << "glo_cfgcheck.exe not built beside the tests";
    EXPECT_EQ(code, 1) << output;
    EXPECT_NE(output.find("lines 1-3: \"MyPan\" (no event type): SKIPPED, event type unknown"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("lines 4-8: \"MyKey\" (button 3 on press): loaded"), std::string::npos)
        << output;
    EXPECT_NE(output.find("1 loaded, 1 skipped"), std::string::npos) << output;

    output.clear();
    EXPECT_EQ(runChecker(L"--function MyKey \"" + file + L"\"", output), 1);
    output.clear();
    EXPECT_EQ(runChecker(L"\"" + folder.file(L"None.cfg") + L"\"", output), 2);
}
