// Where a shipped plug-in keeps a user's setups, with the text editor's plug-in as the driver
// loads it: the user's file under %APPDATA%\Glidora first, else the default beside the library,
// else the built-in setups; saves go to the user's file and never beside the library; a user's
// file that cannot be read is kept aside and logged, never lost.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DriverTest.h"
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
    EXPECT_EQ(load(), (std::vector<int>{0, 30, 60, 60}));
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
    EXPECT_EQ(load(), (std::vector<int>{0, 30, 60, 60}));
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

    // A second one does not take the place of the first.
    writeFile(userFile, "two");
    EXPECT_EQ(load(), std::vector<int>{41});
    close();
    EXPECT_EQ(readFile(userFile + L".unreadable"), garbage);
    EXPECT_EQ(readFile(userFile + L".unreadable.2"), "two");
    home.files.push_back(userFile + L".unreadable");
    home.files.push_back(userFile + L".unreadable.2");

    // One that another program holds open alone stays as it is, through a save too.
    writeFile(userFile, kPage);
    HANDLE held =
        CreateFileW(userFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(load(), std::vector<int>{41});
    EXPECT_EQ(logLines(L"cannot be read nor renamed").size(), 1u);
    keepOnly(41);
    CloseHandle(held);
    EXPECT_EQ(readFile(userFile), kPage);
}

} // namespace
