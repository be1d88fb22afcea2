// The application base class's configuration file, and the wrapper the host keeps
// for each plug-in library.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "GloDLLApplication.h"
#include "tests/support/PluginHome.h"

// The test program plays the plug-in library: it exports "unload".
static int gUnloadCalls = 0;
extern "C" __declspec(dllexport) void unload() {
    ++gUnloadCalls;
}

namespace {

void noop(const CGlo_Event&) {}
CGlo_PluginFunction gFunctions[] = {
    {L"Pan", GLO_TwoAxisFunction, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Zoom", GLO_OneAxisFunction, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {L"Key", GLO_ButtonFunction, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};

// Fixed button setup "Key" on button 4, default motion setup "Zoom".
class TestApplication : public CGlo_Application {
public:
    int match(HWND) override { return 7; }
    int init() override { return 0; }
    int sendevent(CGlo_Event&) override { return 0; }
    int getNumberOfFunctions() override { return 3; }
    CGlo_PluginFunction* queryFunction(const wchar_t* name) override {
        for (CGlo_PluginFunction& f : gFunctions)
            if (std::wstring(f.getName()) == name)
                return &f;
        return nullptr;
    }
    CGlo_PluginFunction* queryFunction(int i) override {
        return unsigned(i) < 3 ? &gFunctions[i] : nullptr;
    }
    int setConfiguration(CGlo_FunctionSetup*, int) override { return 0; }
    int setDefaultConfiguration() override {
        ++defaultCalls;
        CGlo_FunctionSetup zoom(L"Zoom", GLO_MotionEvent, 1, 2, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1,
                                10);
        return multiplexer.addConnection(zoom, queryFunction(L"Zoom")), 0;
    }
    int setButtonConfiguration() override {
        ++buttonCalls;
        CGlo_FunctionSetup key(L"Key", GLO_ButtonEvent, 4, GLO_ButtonPress);
        return multiplexer.addConnection(key, queryFunction(L"Key")), 0;
    }
    std::wstring connections() { // names in table order
        std::wstring out;
        for (int i = 0; i < getNumberOfConnections(); ++i)
            out += (i ? L" " : L"") + std::wstring(queryFunctionSetup(i)->getName());
        return out;
    }
    int defaultCalls = 0, buttonCalls = 0;
};

using glotest::readFile;

TEST(ApplicationFile, ReadingFallsBackToDefaultsAndSkipsBadRecords) {
    TestApplication app;
    app.setName(L"AppTestRead");
    DeleteFileW(L"AppTestRead.cfg");
    app.setButtonConfiguration(); // kept by the fallback
    app.deserialize();
    EXPECT_EQ(app.defaultCalls, 1);
    EXPECT_EQ(app.buttonCalls, 1);
    EXPECT_EQ(app.connections(), L"Key Zoom");

    // Pan, a function the application lacks, an invalid record (capital M), Zoom.
    std::ofstream(L"AppTestRead.cfg", std::ios::binary)
        << "[Function]\r\nFunction=Pan\r\nEventType=motion\r\nNumberOfAxis=2\r\nAxis=0 2\r\n"
           "AxisPolarity=1 -1\r\n[Function]\r\nFunction=Unknown\r\nEventType=button\r\nButton=1\r\n"
           "ButtonEvent=press\r\n[Function]\r\nFunction=Zoom\r\nEventType=Motion\r\nNumberOfAxis="
           "1\r\n"
           "Axis=1\r\nAxisPolarity=1\r\n[Function]\r\nFunction=Zoom\r\nEventType=motion\r\n"
           "NumberOfAxis=1\r\nAxis=5\r\nAxisPolarity=-1\r\nThreshold=12\r\n";
    app.deserialize(); // replaces the table: button setups first
    EXPECT_EQ(app.defaultCalls, 1);
    EXPECT_EQ(app.buttonCalls, 2);
    ASSERT_EQ(app.connections(), L"Key Pan Zoom");
    EXPECT_EQ(app.queryFunctionSetup(1)->getPolarity(1), -1);
    EXPECT_EQ(app.queryFunctionSetup(2)->getAxis(0), 5);
    DeleteFileW(L"AppTestRead.cfg");
}

// Every load rebuilds the button setups before the file's records: a file holding them too
// would double them with each save and load.
TEST(ApplicationFile, SavesNoButtonSetupsAndNeverAPartialFile) {
    TestApplication app;
    app.setName(L"AppTestWrite");
    app.setButtonConfiguration();
    app.setDefaultConfiguration();
    app.serialize();
    const std::string written = "[Function]\r\nFunction=Zoom\r\nEventType=motion\r\nNumberOfAxis="
                                "1\r\nAxis=2\r\nAxisPolarity=1\r\nThreshold=10\r\n";
    EXPECT_EQ(readFile(L"AppTestWrite.cfg"), written);
    app.deserialize();
    app.serialize();
    EXPECT_EQ(app.connections(), L"Key Zoom");
    EXPECT_EQ(readFile(L"AppTestWrite.cfg"), written);

    EXPECT_EQ(app.getSaveReport().outcome, GLO_SaveWritten);

    CreateDirectoryW(L"AppTestWrite.cfg.tmp", nullptr); // the temporary file's name is taken
    app.setDefaultConfiguration();
    app.serialize();
    RemoveDirectoryW(L"AppTestWrite.cfg.tmp");
    EXPECT_EQ(app.getSaveReport().outcome, GLO_SaveFailed);
    EXPECT_EQ(std::wstring(app.getSaveReport().file), L"AppTestWrite.cfg.tmp");
    app.clearSaveReport();
    app.getMultiplexer().clear();
    app.serialize(); // nothing to write
    EXPECT_EQ(app.getSaveReport().outcome, GLO_SaveNotReported);
    EXPECT_EQ(readFile(L"AppTestWrite.cfg"), written);
    DeleteFileW(L"AppTestWrite.cfg");
}

HINSTANCE loadSelf() { // another reference to this program, as "load" is handed its library
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return LoadLibraryW(path);
}

void expectInert(CGlo_DLLApplication& w) {
    CGlo_Event event(9, 9, 9, 0, 0, 0, -1, 0);
    EXPECT_EQ(w.match(nullptr) + w.init() + w.sendevent(event) + w.getNumberOfFunctions() +
                  w.setDefaultConfiguration() + w.setButtonConfiguration(),
              0);
    EXPECT_TRUE(!w.queryFunction(L"Pan") && !w.queryFunction(0));
    w.deserialize();
    EXPECT_EQ(w.getNumberOfConnections(), 0);
    w.setRegisteredWindow(HWND(8));
    w.setFocus(HWND(9));
    EXPECT_EQ(w.getRegisteredWindow(), nullptr);
    EXPECT_NE(w.getFocus(), HWND(9));
}

TEST(DLLApplication, CopiesShareTheLibraryAndAFreedWrapperIsInert) {
    CGlo_DLLApplication empty;
    expectInert(empty);

    TestApplication app;
    gUnloadCalls = 0;
    {
        CGlo_DLLApplication entry(&app, loadSelf());
        CGlo_DLLApplication copy(entry), assigned;
        assigned = copy;
        EXPECT_EQ(assigned.match(nullptr), 7);
        entry.freePlugin();
        entry.freePlugin();
        EXPECT_EQ(gUnloadCalls, 1);
        expectInert(entry);
        EXPECT_EQ(copy.match(nullptr), 7); // the host frees one entry per library
    }
    EXPECT_EQ(gUnloadCalls, 1); // destroying copies releases nothing
}

} // namespace
