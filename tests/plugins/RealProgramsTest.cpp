// The shipped plug-ins in Wine's own text programs, through the driver's entry points as the
// driver calls them: notepad and wordpad scroll by lines and pages and copy to the clipboard.
// Every effect is read from outside the program. (Lists, trees and dialogs: ScrolledViewsTest.)
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "FakeDriver.h"
#include "PluginHome.h"
#include "TestProgram.h"
#include "ZuVidDriver.h"

namespace {

const wchar_t* const kShipped[] = {L"glo_text_editor", L"glo_generic"};

struct Found {
    const wchar_t* viewClass;
    HWND view;
};

BOOL CALLBACK findViewProc(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    if (lstrcmpiW(name, found->viewClass) != 0 || !IsWindowVisible(window))
        return TRUE;
    found->view = window;
    return FALSE;
}

std::string clipboardText() {
    std::string text;
    for (int attempt = 0; attempt < 20 && !OpenClipboard(nullptr); ++attempt)
        Sleep(10);
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* chars = static_cast<const char*>(GlobalLock(data)))
            text = chars;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

class RealPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* plugin : kShipped)
            home.add(plugin);
    }
    void TearDown() override {
        ZuVidCloseHdl(glotest::announcedCoreWindow());
        program.reset();
    }

    // Starts the program, waits for its view and puts it in front with the cursor over the view;
    // then starts the core, which loads the plug-ins.
    HWND start(const std::wstring& commandLine, const wchar_t* topClass, const wchar_t* viewClass) {
        program = std::make_unique<glotest::TestProgram>(commandLine);
        if (!program->started())
            return nullptr;
        Found found = {viewClass, nullptr};
        for (int waited = 0; waited < 15000 && !found.view; waited += 50) {
            Sleep(50);
            if (HWND top = FindWindowW(topClass, nullptr))
                EnumChildWindows(top, findViewProc, reinterpret_cast<LPARAM>(&found));
        }
        if (!found.view)
            return nullptr;
        HWND top = GetAncestor(found.view, GA_ROOT);
        SetForegroundWindow(top);
        RECT rect;
        GetWindowRect(found.view, &rect);
        SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        glotest::pumpMessages(300);
        ZuVidCallbackTable table = glotest::fakeDriverTable();
        ZuVidInit(1, &table);
        return found.view;
    }

    // The same deflection about every 16 ms (a device's report rate), then the cap at rest.
    void hold(int count, int x, int z, int a, int b) {
        for (int i = 0; i < count; ++i) {
            const ZuVidEventRecord record = {ZUVID_EVENT_MOTION, {}, 0, 0, {x, 0, z, a, b, 0}};
            ZuVidSendEvent(nullptr, &record);
            glotest::pumpMessages(16);
        }
        const ZuVidEventRecord zero = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
        ZuVidSendEvent(nullptr, &zero);
        glotest::pumpMessages(200);
    }
    void click(int button) {
        ZuVidEventRecord record = {ZUVID_EVENT_BUTTON, {}, 1u << button, 0, {}};
        ZuVidSendEvent(nullptr, &record);
        glotest::pumpMessages(100);
        record.pressed = 0, record.released = 1u << button;
        ZuVidSendEvent(nullptr, &record);
        glotest::pumpMessages(200);
    }

    // A long document, its first line selected.
    static void fill(HWND text) {
        std::wstring document;
        for (int line = 1; line <= 400; ++line)
            document += L"Line " + std::to_wstring(line) + L" of a long document\r\n";
        SendMessageW(text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(document.c_str()));
        SendMessageW(text, EM_SETSEL, 0, SendMessageW(text, EM_LINELENGTH, 0, 0));
    }
    static LRESULT firstVisibleLine(HWND text) {
        return SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0);
    }
    static LRESULT caretLine(HWND text) {
        DWORD start = 0, end = 0;
        SendMessageW(text, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return SendMessageW(text, EM_LINEFROMCHAR, end, 0);
    }

    // Button 0 copies the selection; a twist turns the view a page and a push scrolls it on by
    // lines, both leaving the caret where it is.
    void copyPageAndScroll(HWND text) {
        fill(text);
        OpenClipboard(nullptr), EmptyClipboard(), CloseClipboard();
        click(0);
        EXPECT_EQ(clipboardText(), "Line 1 of a long document");
        hold(12, 0, 0, 0, 320);
        const LRESULT paged = firstVisibleLine(text);
        EXPECT_GE(paged, 5) << "a twist scrolls a page";
        hold(40, 0, -260, 0, 0);
        EXPECT_GT(firstVisibleLine(text), paged) << "pushing away scrolls down by lines";
        EXPECT_EQ(caretLine(text), 0) << "scrolling leaves the caret";
        const LRESULT scrolled = firstVisibleLine(text);
        glotest::pumpMessages(300);
        EXPECT_EQ(firstVisibleLine(text), scrolled) << "nothing more after the cap came to rest";
    }

    glotest::PluginHome home{L"glo_programs"};
    std::unique_ptr<glotest::TestProgram> program;
};

TEST_F(RealPrograms, NotepadCopiesPagesAndScrolls) {
    HWND text = start(L"notepad.exe", L"Notepad", L"Edit");
    ASSERT_NE(text, nullptr);
    copyPageAndScroll(text);
}

TEST_F(RealPrograms, WordpadCopiesPagesAndScrolls) {
    HWND text = start(L"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe", L"WORDPADTOP",
                      L"RichEdit20W");
    ASSERT_NE(text, nullptr);
    copyPageAndScroll(text);
}

} // namespace
