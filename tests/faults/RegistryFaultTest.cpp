// The driver's home directory in the registry: key or value missing, too long, or not text.
// Each shows the one message box, loads nothing, and leaves the core running; a value to be
// expanded is expanded.
#include "tests/support/DriverTest.h"

#include "tests/support/MessageBoxAnswerer.h"
#include "host/GloPluginHost.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Veltrana\\Halcyra";
const wchar_t kValue[] = L"Home Directory";

class RegistryFaults : public glotest::DriverTest {
protected:
    void SetUp() override {
        glotest::DriverTest::SetUp();
        home.add(L"e2e_recorder");
        showTarget();
    }
    // Starts the core with the registry as it is: nothing may be loaded, one box is shown,
    // and events still pass (to nobody).
    void expectRefused() {
        glotest::MessageBoxAnswerer answerer;
        start();
        ASSERT_TRUE(answerer.waitFor(1));
        ASSERT_EQ(answerer.answered().size(), 1u);
        EXPECT_EQ(answerer.answered()[0].text, L"Halcyra Home Directory not found");
        EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 0);
        EXPECT_EQ(ZuVidIsValidHdl(window), 0);
        send(ZUVID_EVENT_MOTION, 200);
        EXPECT_FALSE(logLines(L"Handling message").empty()); // initialised: it logs
        close();
    }
    void setValue(DWORD type, const void* data, DWORD bytes) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue, type, data, bytes),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegistryFaults, KeyMissing) {
    glotest::PluginHome::removeHome();
    expectRefused();
}

TEST_F(RegistryFaults, ValueMissing) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue);
    expectRefused();
}

// 259 characters fit; 300 do not, and nothing of them is used.
TEST_F(RegistryFaults, ValueTooLong) {
    const std::wstring tooLong = home.home + L"\\" + std::wstring(300, L'x');
    glotest::PluginHome::setHome(tooLong);
    expectRefused();
}

// A number, binary data (even one that spells the right path) and a list are no folder names.
TEST_F(RegistryFaults, ValueOfTheWrongType) {
    const DWORD number = 0x41;
    setValue(REG_DWORD, &number, sizeof(number));
    expectRefused();
    setValue(REG_BINARY, home.home.c_str(), DWORD(home.home.size() * sizeof(wchar_t)));
    expectRefused();
    std::wstring list = home.home + L'\0' + L'\0';
    setValue(REG_MULTI_SZ, list.c_str(), DWORD(list.size() * sizeof(wchar_t)));
    expectRefused();
    setValue(REG_SZ, L"", sizeof(wchar_t)); // text, but no folder: nothing loads, no box
    glotest::MessageBoxAnswerer answerer;
    start();
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 0);
    close();
    EXPECT_TRUE(answerer.answered().empty());
}

// Installers write "%...%" paths with the expandable type.
TEST_F(RegistryFaults, ExpandableValueIsExpanded) {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    ASSERT_EQ(home.home.compare(0, length, temp), 0);
    const std::wstring value = L"%TEMP%\\" + home.home.substr(length);
    SetEnvironmentVariableW(L"TEMP", std::wstring(temp, length - 1).c_str());
    setValue(REG_EXPAND_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)));
    start();
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 1);
    EXPECT_EQ(ZuVidIsValidHdl(window), 1);
}

} // namespace
