// The core's string table under both user-interface languages.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

// The same test binary runs once under an English and once under a German user interface.
TEST(StringTable, FollowsUserInterfaceLanguage) {
    static const HMODULE core = LoadLibraryW(L"Glo_core_proxy.dll");
    ASSERT_NE(core, nullptr);
    const char* expected = std::getenv("GLO_EXPECT_UI_LANG");
    const LANGID ui = GetUserDefaultUILanguage();
    const bool german = PRIMARYLANGID(ui) == LANG_GERMAN;
    if (expected) {
        ASSERT_EQ(german, std::string(expected) == "de") << "UI language 0x" << std::hex << ui;
    }
    wchar_t text[256] = {};
    ASSERT_GT(LoadStringW(core, 57, text, 256), 0);
    EXPECT_STREQ(text, german ? L"Kein USB 3D-Eingabeger\u00e4t gefunden\nGlidora kann nicht "
                                L"geladen werden\n"
                              : L"No USB 3D-Input device found\nGlidora cannot load\n");
    // Every identifier of the table exists in both languages.
    for (UINT id = 1; id <= 59; ++id)
        EXPECT_GT(LoadStringW(core, id, text, 256), 0) << "string " << id;
}
