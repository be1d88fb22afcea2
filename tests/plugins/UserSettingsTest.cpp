// Where a shipped plug-in keeps a user's setups, with the text editor's plug-in as the driver
// loads it: the user's file under %APPDATA%\Glidora first, else the default beside the library,
// else the built-in setups; saves go to the user's file and never beside the library; a user's
// file that cannot be read is kept aside and logged, never lost.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/DriverTest.h"
#include "GloApplication.h"
#include "GloFunctionSetup.h"
#include "host/GloPluginHost.h"

namespace {

using glotest::readFile;
using glotest::writeFile;

// One motion setup of the text editor on one device axis, as the file holds it.
std::string record(const char* function, int axes, int axis, int threshold) {
    return std::string("[Function]\r\nFunction=") + function +
           "\r\nEventType=motion\r\nNumberOfAxis=" + std::to_string(axes) +
           "\r\nAxis=" + std::to_string(axis) +
           "\r\nAxisPolarity=1\r\nThreshold=" + std::to_string(threshold) + "\r\n";
}
const std::string kCursor = record("CursorUpDown", 1, 3, 41);
const std::string kPage = record("PageDown", 0, 4, 42);

class UserSettings : public glotest::DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        home.add(L"glo_text_editor");
        home.files.push_back(defaultFile);
        CreateDirectoryW(home.userSettings.c_str(), nullptr);
    }

    // Starts the core; the dead zones of the motion setups the text editor loaded, in order.
    std::vector<int> load() {
        start();
        std::vector<int> thresholds;
        application =
            getPluginHost().getLoadedPlugin(getPluginHost().findApplication(L"TextEditor"));
        if (application == nullptr)
            return {-1};
        for (int i = 0; i < application->getNumberOfConnections(); ++i)
            if (!application->queryFunctionSetup(i)->isButton())
                thresholds.push_back(application->queryFunctionSetup(i)->getThreshold());
        return thresholds;
    }
    // Keeps only the motion setup of `threshold` (what the configuration dialog's OK does).
    void keepOnly(int threshold) {
        std::vector<CGlo_FunctionSetup> kept;
        for (int i = 0; i < application->getNumberOfConnections(); ++i)
            if (application->queryFunctionSetup(i)->getThreshold() == threshold)
                kept.push_back(*application->queryFunctionSetup(i));
        application->setConfiguration(kept.data(), int(kept.size() * sizeof(CGlo_FunctionSetup)));
    }
    static bool exists(const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    const std::wstring defaultFile = home.plugins + L"TextEditor.cfg";
    const std::wstring userFile = home.userSettings + L"TextEditor.cfg";
    CGlo_Application* application = nullptr;
};

TEST_F(UserSettings, TheUsersFileComesFirstThenTheDefaultThenTheBuiltInSetups) {
    EXPECT_EQ(load(), (std::vector<int>{0, 30, 60, 60, 0}));
    close();
    writeFile(defaultFile, kCursor);
    EXPECT_EQ(load(), std::vector<int>{41});
    close();
    writeFile(userFile, kPage);
    EXPECT_EQ(load(), std::vector<int>{42});
    close();
    // An empty file is a user who removed every motion setup, not a missing one.
    writeFile(userFile, "");
    EXPECT_EQ(load(), std::vector<int>{});
    EXPECT_TRUE(logLines(L"TextEditor").empty());
}

TEST_F(UserSettings, SavesGoToTheUsersFileAndNeverBesideTheLibrary) {
    RemoveDirectoryW(home.userSettings.c_str()); // made by the first save
    EXPECT_EQ(load(), (std::vector<int>{0, 30, 60, 60, 0}));
    keepOnly(30);
    EXPECT_FALSE(exists(defaultFile));
    EXPECT_NE(readFile(userFile).find("Threshold=30"), std::string::npos) << readFile(userFile);
    close();

    writeFile(defaultFile, kCursor + kPage);
    DeleteFileW(userFile.c_str());
    EXPECT_EQ(load(), (std::vector<int>{41, 42}));
    keepOnly(42);
    EXPECT_EQ(readFile(defaultFile), kCursor + kPage);
    EXPECT_EQ(readFile(userFile).find("Threshold=41"), std::string::npos) << readFile(userFile);
    close();
    EXPECT_EQ(load(), std::vector<int>{42});
}

TEST_F(UserSettings, AnUnreadableUserFileIsKeptAsideAndTheDefaultUsed) {
    writeFile(defaultFile, kCursor);
    const std::string garbage = "\x01\x02 not a configuration\r\n";
    writeFile(userFile, garbage);
    EXPECT_EQ(load(), std::vector<int>{41});
    close();
    EXPECT_FALSE(exists(userFile));
    EXPECT_EQ(readFile(userFile + L".unreadable"), garbage);
    ASSERT_EQ(logLines(L"cannot be read; kept as").size(), 1u);
    EXPECT_EQ(logLines(L"cannot be read; kept as")[0].rfind(
                  L"Vex_Core_Proxy.dll: Plugin TextEditor: ", 0),
              0u);

    // A second one does not take the place of the first; a key combination of the user's on a
    // button of its own does not make it a file that was read.
    writeFile(userFile, "two");
    const std::wstring settings = home.userSettings + L"Settings.ini";
    writeFile(settings, "[TextEditor]\r\nButton 7=Ctrl+S\r\n");
    EXPECT_EQ(load(), std::vector<int>{41});
    EXPECT_EQ(application->queryFunctionSetup(0)->getName(), std::wstring(L"UserKeyCombination"));
    close();
    DeleteFileW(settings.c_str());
    EXPECT_EQ(readFile(userFile + L".unreadable"), garbage);
    EXPECT_EQ(readFile(userFile + L".unreadable.2"), "two");
    home.files.push_back(userFile + L".unreadable");
    home.files.push_back(userFile + L".unreadable.2");

    // One that another program holds open alone stays as it is, through a save too, even once
    // the program has let go: nothing of it was read. The save says so.
    writeFile(userFile, kPage);
    HANDLE held =
        CreateFileW(userFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(load(), std::vector<int>{41});
    EXPECT_EQ(logLines(L"cannot be read nor renamed").size(), 1u);
    CloseHandle(held);
    keepOnly(41);
    EXPECT_EQ(readFile(userFile), kPage);
    EXPECT_EQ(application->getSaveReport().failure, GLO_SaveHeldBack);
}

// A save that does not reach the user's file is reported as failed, with the file and the
// system's reason, and the file stays as it was: the file held open by another program, its
// temporary file held, no folder for it.
TEST_F(UserSettings, ASaveThatIsNotWrittenIsReportedSo) {
    writeFile(userFile, kCursor + kPage);
    EXPECT_EQ(load(), (std::vector<int>{41, 42}));
    const auto held = [](const std::wstring& path, DWORD disposition) {
        return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           disposition, 0, nullptr);
    };
    for (const std::wstring& holding : {userFile, userFile + L".tmp"}) {
        HANDLE file = held(holding, OPEN_ALWAYS);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        application->clearSaveReport();
        keepOnly(42);
        CloseHandle(file);
        const GLO_SaveReport report = application->getSaveReport();
        EXPECT_EQ(report.outcome, GLO_SaveFailed);
        EXPECT_EQ(report.failure, GLO_SaveCannotWrite);
        EXPECT_NE(report.error, 0u);
        EXPECT_EQ(std::wstring(report.file), holding);
        EXPECT_EQ(readFile(userFile), kCursor + kPage);
    }
    DeleteFileW((userFile + L".tmp").c_str());
    keepOnly(42);
    EXPECT_EQ(application->getSaveReport().outcome, GLO_SaveWritten);
    EXPECT_EQ(std::wstring(application->getSaveReport().file), userFile);
    EXPECT_EQ(readFile(userFile), kPage);
    close();

    // %APPDATA% where the folder cannot be made (a file has its name).
    DeleteFileW(userFile.c_str());
    const std::wstring folder = home.userSettings.substr(0, home.userSettings.size() - 1);
    RemoveDirectoryW(folder.c_str());
    writeFile(folder, "");
    home.files.push_back(folder);
    EXPECT_EQ(load(), (std::vector<int>{0, 30, 60, 60, 0}));
    keepOnly(30);
    const GLO_SaveReport report = application->getSaveReport();
    EXPECT_EQ(report.failure, GLO_SaveNoFolder);
    EXPECT_EQ(std::wstring(report.file), folder);
    EXPECT_EQ(logLines(L"cannot be made; the setups are not kept").size(), 1u);
}

// A profile folder that no ANSI code page can spell (Polish and Greek letters): the user's file
// is found, read and written by its wide name.
TEST_F(UserSettings, AProfileFolderInTwoScriptsIsReadAndWrittenByItsWideName) {
    const std::wstring profile =
        home.home + L"\\Zofia \x141\xf3\x64\x17a \x3a9\x3bc\x3ad\x3b3\x3b1"; // Łódź Ωμέγα
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, profile.c_str(), -1, nullptr, 0, nullptr,
                        &lossy);
    EXPECT_TRUE(lossy);
    const std::wstring file = profile + L"\\Glidora\\TextEditor.cfg";
    if (!CreateDirectoryW(profile.c_str(), nullptr))
        GTEST_SKIP() << "Wine names files in its locale's character set, here not UTF-8 (the "
                        "CTest test plugins_unicode runs this case in C.UTF-8)";
    CreateDirectoryW((profile + L"\\Glidora").c_str(), nullptr);
    SetEnvironmentVariableW(L"APPDATA", profile.c_str()); // the home puts its own back
    writeFile(file, kCursor + kPage);
    EXPECT_EQ(load(), (std::vector<int>{41, 42}));
    keepOnly(42);
    EXPECT_EQ(readFile(file), kPage);
    EXPECT_EQ(std::wstring(application->getSaveReport().file), file);
    EXPECT_TRUE(logLines(L"TextEditor").empty());
    close();
    DeleteFileW(file.c_str());
    RemoveDirectoryW((profile + L"\\Glidora").c_str());
    RemoveDirectoryW(profile.c_str());
}

} // namespace
