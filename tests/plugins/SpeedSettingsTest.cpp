// The user's own settings beside the setups (%APPDATA%\Glidora\Settings.ini), as the driver meets
// them: read when the core starts, kept whatever their text holds, and never lost: a file that
// cannot be read in full is kept aside and logged, one that cannot even be renamed is never
// written over.
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <string>

#include "tests/support/DriverTest.h"
#include "GloUserSettings.h"

namespace {

using glotest::readFile;
using glotest::writeFile;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::wstring value(const wchar_t* program, const std::wstring& key, int capacity = 128) {
    wchar_t text[128] = L"?";
    CGlo_UserSettings::getValue(program, key.c_str(), text, capacity);
    return text;
}

class SettingsFile : public glotest::DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        CreateDirectoryW(home.userSettings.c_str(), nullptr);
    }
    void TearDown() override {
        DriverTest::TearDown();
        std::setlocale(LC_ALL, "C");
        CGlo_UserSettings::setSpeed(nullptr, 1); // the next test starts from its own file
    }
    void restart() {
        close();
        start();
    }
    const std::wstring file = home.userSettings + L"Settings.ini";
};

// What is saved comes back after a restart of the core exactly, whatever characters it holds,
// under a driver whose locale writes a decimal comma; what was changed and not saved does not.
TEST_F(SettingsFile, ComeBackAfterARestartExactlyAsSaved) {
    start();
    CGlo_UserSettings::setSpeed(nullptr, 1.4);
    CGlo_UserSettings::setSpeed(L"TextEditor", 0.5);
    // Blanks at both ends, the file's own syntax, escapes, a character pair and half of one.
    const std::wstring odd = L" [a=b]\\ \n;#\x00e9\xd83d\xde00\xd800 ";
    ASSERT_TRUE(CGlo_UserSettings::setValue(odd.c_str(), (L"=" + odd).c_str(), odd.c_str()));
    EXPECT_FALSE(CGlo_UserSettings::setValue(nullptr, std::wstring(65, L'k').c_str(), L""));
    GLO_SaveReport report = {};
    ASSERT_TRUE(CGlo_UserSettings::save(&report));
    EXPECT_EQ(report.outcome, GLO_SaveWritten);
    EXPECT_EQ(std::wstring(report.file), file);
    // As a person reads it: the speed of all programs first, then each program's own.
    const std::string text = readFile(file);
    EXPECT_TRUE(contains(text, "\r\nSpeed=1.4\r\n[")) << text;
    EXPECT_TRUE(contains(text, "\r\n[TextEditor]\r\nSpeed=0.5\r\n")) << text;

    CGlo_UserSettings::setSpeed(nullptr, 4);
    CGlo_UserSettings::removeValue(odd.c_str(), (L"=" + odd).c_str());
    ASSERT_NE(std::setlocale(LC_ALL, "German"), nullptr);
    restart();
    EXPECT_EQ(CGlo_UserSettings::getSpeed(nullptr), 1.4);
    EXPECT_EQ(CGlo_UserSettings::getSpeed(L"TextEditor"), 0.5);
    EXPECT_EQ(CGlo_UserSettings::getEffectiveSpeed(L"TextEditor"), 0.7);
    EXPECT_EQ(CGlo_UserSettings::getEffectiveSpeed(L"Other"), 1.4);
    EXPECT_EQ(value(odd.c_str(), L"=" + odd), odd);
    EXPECT_EQ(value(odd.c_str(), L"=" + odd, 3), odd.substr(0, 2)); // cut to fit
    EXPECT_EQ(value(nullptr, L"=" + odd), L"");

    // Normal again: the entries go.
    CGlo_UserSettings::setSpeed(nullptr, 1);
    CGlo_UserSettings::setSpeed(L"TextEditor", 1.0001);
    ASSERT_TRUE(CGlo_UserSettings::save(nullptr));
    EXPECT_FALSE(contains(readFile(file), "Speed")) << readFile(file);
    EXPECT_TRUE(logLines(L"Settings.ini").empty());
}

// Nothing of a file is lost: one that cannot be read in full is renamed aside and what could be
// read of it is used (a setting below a program line that could not be read is nobody's); one
// too large is not read at all; one another program holds open alone is neither read nor
// written over, also once that program let go.
TEST_F(SettingsFile, AFileNotReadInFullIsKeptAsideAndNeverWrittenOver) {
    const std::string broken = "Speed=2\r\n\xff\xfe=broken\r\nno setting\r\n[TextEditor]\r\n"
                               "Speed=0.5\r\n[" +
                               std::string(300, 'x') + "]\r\nSpeed=4\r\n";
    writeFile(file, broken);
    start();
    EXPECT_EQ(CGlo_UserSettings::getSpeed(nullptr), 2);
    EXPECT_EQ(CGlo_UserSettings::getSpeed(L"TextEditor"), 0.5);
    EXPECT_FALSE(exists(file));
    EXPECT_EQ(readFile(file + L".unreadable"), broken);
    ASSERT_EQ(logLines(L"cannot be read in full; kept as").size(), 1u);
    EXPECT_NE(logLines(L"cannot be read in full")[0].find(file + L".unreadable, "),
              std::wstring::npos);
    ASSERT_TRUE(CGlo_UserSettings::save(nullptr));
    EXPECT_TRUE(contains(readFile(file), "[TextEditor]\r\nSpeed=0.5\r\n")) << readFile(file);

    const std::string large = "Speed=3\r\n" + std::string(1 << 20, ';');
    writeFile(file, large);
    restart();
    EXPECT_EQ(CGlo_UserSettings::getSpeed(nullptr), 1);
    EXPECT_EQ(readFile(file + L".unreadable.2"), large);

    writeFile(file, "Speed=2\r\n");
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    restart();
    CloseHandle(held);
    EXPECT_EQ(CGlo_UserSettings::getSpeed(nullptr), 1);
    EXPECT_EQ(logLines(L"cannot be read nor renamed").size(), 1u);
    CGlo_UserSettings::setSpeed(nullptr, 0.5);
    GLO_SaveReport report = {};
    EXPECT_FALSE(CGlo_UserSettings::save(&report));
    EXPECT_EQ(report.failure, GLO_SaveHeldBack);
    EXPECT_EQ(readFile(file), "Speed=2\r\n");
}

} // namespace
