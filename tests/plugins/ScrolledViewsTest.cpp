// Views a user scrolls in Wine's own programs, moved by the cap on the whole road: the
// substitute driver (glo_driver) replays the motion through the core and the ten shipped
// plug-ins, and the view's position is read from outside the program while it plays. Notepad and
// wordpad (zoomed, too), regedit's tree and value list, winecfg's list of applications (in columns,
// inside a group box of a property sheet), the system's file dialog on a folder of hundreds of
// files, and dialogs and a property sheet of the test's own with views inside group boxes: a
// report with wide columns, a wide tree, a combo box's list without a scroll bar.
#include <gtest/gtest.h>

#include <windows.h>
// (needs the types of windows.h)
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "tests/support/FakeDriver.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestProgram.h"
#include "tests/fixtures/views_dialog/ViewsDialog.h"

using namespace glotest;
namespace dialog = views_dialog;

namespace {

// Raw device values (the core turns the sign of z): push away and pull back, slide right and
// left, twist clockwise and back, tilt forward and back.
const char* const kPush = "0 0 -260 0 0 0";
const char* const kPull = "0 0 260 0 0 0";
const char* const kSlideRight = "260 0 0 0 0 0";
const char* const kSlideLeft = "-260 0 0 0 0 0";
const char* const kTwist = "0 0 0 0 320 0";
const char* const kTwistBack = "0 0 0 0 -320 0";
const char* const kTilt = "0 0 0 260 0 0";
const char* const kTiltBack = "0 0 0 -260 0 0";
const char* const kPress = "0 -260 0 0 0 0";
const char* const kLift = "0 260 0 0 0 0";

HWND findChild(HWND top, const wchar_t* viewClass) {
    struct Search {
        const wchar_t* viewClass;
        HWND found;
    } search = {viewClass, nullptr};
    EnumChildWindows(
        top,
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = L"";
            GetClassNameW(window, name, 64);
            if (lstrcmpiW(name, s->viewClass) != 0 || !IsWindowVisible(window))
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Keys and values of the current user's registry that a test adds; they go again at the end,
// with the key when the test made it, and a value it replaced comes back.
class ScratchKey {
public:
    explicit ScratchKey(std::wstring path) : path_(std::move(path)) {
        DWORD disposition = 0;
        RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, &disposition);
        made_ = disposition == REG_CREATED_NEW_KEY;
    }
    ~ScratchKey() {
        for (int i = 0; i < keys_; ++i)
            RegDeleteTreeW(key_, name(i).c_str());
        if (hadText_)
            RegSetValueExW(key_, text_.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(previous_.c_str()),
                           DWORD((previous_.size() + 1) * sizeof(wchar_t)));
        else if (!text_.empty())
            RegDeleteValueW(key_, text_.c_str());
        RegCloseKey(key_);
        if (made_)
            RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    // Keys `prefix`1000, `prefix`1001 and so on.
    void addKeys(const wchar_t* prefix, int count) {
        prefix_ = prefix;
        for (keys_ = 0; keys_ < count; ++keys_) {
            HKEY sub;
            RegCreateKeyExW(key_, name(keys_).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &sub,
                            nullptr);
            RegCloseKey(sub);
        }
    }
    void addValues(int count) {
        for (int i = 0; i < count; ++i)
            RegSetValueExW(key_, (L"Value" + std::to_wstring(1000 + i)).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(L"data"), 10);
    }
    void setText(const wchar_t* value, const std::wstring& text) {
        wchar_t previous[512] = L"";
        DWORD size = sizeof(previous);
        text_ = value;
        hadText_ = RegGetValueW(key_, nullptr, value, RRF_RT_REG_SZ, nullptr, previous, &size) ==
                   ERROR_SUCCESS;
        previous_ = previous;
        RegSetValueExW(key_, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       DWORD((text.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::wstring name(int i) const { return prefix_ + std::to_wstring(1000 + i); }

    std::wstring path_, prefix_, text_, previous_;
    HKEY key_ = nullptr;
    bool made_ = false, hadText_ = false;
    int keys_ = 0;
};

class ScrolledViews : public ::testing::Test {
protected:
    void SetUp() override { home.addShipped(); }
    void TearDown() override { program.reset(); }

    // Starts the program and waits up to 15 s for a top-level window of the class (and title)
    // with a visible child of `viewClass`.
    HWND start(const std::wstring& commandLine, const wchar_t* topClass, const wchar_t* title,
               const wchar_t* viewClass) {
        program = std::make_unique<TestProgram>(commandLine);
        for (int waited = 0; program->started() && waited < 15000; waited += 50) {
            if (HWND top = FindWindowW(topClass, title))
                if (HWND view = findChild(top, viewClass))
                    return view;
            pumpMessages(50);
        }
        return nullptr;
    }

    // The cap held `count` device reports with `values`, then let go, with the program in front
    // and the cursor resting on `view`; `during` runs all the while.
    void holdCap(HWND view, const char* values, int count, const std::function<void()>& during) {
        EXPECT_TRUE(bringToFront(GetAncestor(view, GA_ROOT)));
        cursorOn(view);
        pumpMessages(100);
        const std::string trace = "rate 16\nwait 200\n" + hold(count, values) + "zero\nwait 300\n";
        EXPECT_EQ(runDriver(home.home, trace, L"", during), 0u);
    }
    // Holding the cap one way moves `position` on by at least `atLeast`, and holding it the other
    // way brings it back by at least as much. How far one hold goes follows the time the worker
    // and the driver get, which a loaded machine cuts short: the cap is held again (five times
    // at most) until the position has gone that far.
    void expectBothWays(HWND view, const char* there, const char* back,
                        const std::function<long()>& position, long atLeast, int count = 40) {
        const long start = position();
        long peak = start;
        for (int i = 0; i < 5 && peak - start < atLeast; ++i)
            holdCap(view, there, count, [&] { peak = std::max(peak, position()); });
        EXPECT_GE(peak - start, atLeast) << "from " << start;
        long end = position();
        for (int i = 0; i < 5 && peak - end < atLeast; ++i) {
            holdCap(view, back, count, [] {});
            end = position();
        }
        EXPECT_GE(peak - end, atLeast) << "peak " << peak << ", back to " << end;
    }

    PluginHome home{L"glo_views"};
    std::unique_ptr<TestProgram> program;
};

long topIndex(HWND list) {
    return long(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
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

// Button 0 copies the selected line; a push scrolls the text by lines and a twist by pages,
// both ways, leaving the caret where it was, and nothing moves once the cap is at rest.
TEST_F(ScrolledViews, TextProgramsCopyAndScrollByLinesAndPages) {
    const struct {
        const wchar_t *command, *topClass, *viewClass;
    } programs[] = {
        {L"notepad.exe", L"Notepad", L"Edit"},
        {L"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe", L"WORDPADTOP", L"RichEdit20W"},
    };
    for (const auto& p : programs) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(p.viewClass)));
        HWND text = start(p.command, p.topClass, nullptr, p.viewClass);
        ASSERT_NE(text, nullptr);
        std::wstring document;
        for (int line = 1; line <= 400; ++line)
            document += L"Line " + std::to_wstring(line) + L" of a long document\r\n";
        SendMessageW(text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(document.c_str()));
        SendMessageW(text, EM_SETSEL, 0, SendMessageW(text, EM_LINELENGTH, 0, 0));
        OpenClipboard(nullptr), EmptyClipboard(), CloseClipboard();
        ASSERT_TRUE(bringToFront(GetAncestor(text, GA_ROOT)));
        cursorOn(text);
        EXPECT_EQ(
            runDriver(home.home, "wait 200\npress 0\nwait 100\nrelease 0\nwait 200\n", L"", [] {}),
            0u);
        EXPECT_EQ(clipboardText(), "Line 1 of a long document");

        auto firstLine = [text] { return long(SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0)); };
        expectBothWays(text, kPush, kPull, firstLine, 5);
        expectBothWays(text, kTwist, kTwistBack, firstLine, 5, 12);
        DWORD start = 0, end = 0;
        SendMessageW(text, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(SendMessageW(text, EM_LINEFROMCHAR, end, 0), 0) << "the caret stays";
        const long rest = firstLine();
        pumpMessages(300);
        EXPECT_EQ(firstLine(), rest) << "nothing more after the cap came to rest";
    }
}

// Pressing the cap zooms wordpad's text in and lifting it zooms out: its rich edit control reads
// Ctrl (GetKeyState) when the wheel comes, and no Ctrl is left down afterwards. The zoom shows as
// the height of a line.
TEST_F(ScrolledViews, WordpadZoomsInOnAPressAndOutOnALift) {
    HWND text = start(L"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe", L"WORDPADTOP",
                      nullptr, L"RichEdit20W");
    ASSERT_NE(text, nullptr);
    std::wstring document;
    for (int line = 1; line <= 50; ++line)
        document += L"Line " + std::to_wstring(line) + L" of a document\r\n";
    SendMessageW(text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(document.c_str()));
    auto lineHeight = [text] {
        const auto top = [text](int line) {
            const LRESULT at = SendMessageW(text, EM_LINEINDEX, line, 0);
            return long(short(HIWORD(SendMessageW(text, EM_POSFROMCHAR, at, 0))));
        };
        return top(1) - top(0);
    };
    expectBothWays(text, kPress, kLift, lineHeight, 3);
    EXPECT_FALSE(GetAsyncKeyState(VK_CONTROL) & 0x8000);
}

// Pushing scrolls the tree and the value list through their own scroll bars by lines, a twist
// by pages; the selection stays. A tilt moves the selection of the view with the keyboard focus.
TEST_F(ScrolledViews, RegeditTreeAndValueListScrollBothWays) {
    const std::wstring path = L"Software\\GloScrolledViews";
    ScratchKey key(path);
    key.addKeys(L"Key", 300); // the tree shows them below the key
    ScratchKey values(path + L"\\Key1000");
    values.addValues(300);
    ScratchKey applet(L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit");
    applet.setText(L"LastKey", L"HKEY_CURRENT_USER\\" + path + L"\\Key1000");
    HWND tree = start(L"regedit.exe", L"RegEdit_RegEdit", nullptr, L"SysTreeView32");
    ASSERT_NE(tree, nullptr);
    HWND list = findChild(GetAncestor(tree, GA_ROOT), L"SysListView32");
    ASSERT_NE(list, nullptr);
    for (int waited = 0; waited < 5000 && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) < 300;
         waited += 50)
        pumpMessages(50);

    // Item handles of another process can be compared, not read: count the visible items above.
    auto firstVisible = [tree] {
        const LRESULT first = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0);
        long index = 0;
        for (LRESULT item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
             item != 0 && item != first && index < 1000; ++index)
            item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, item);
        return index;
    };
    auto selected = [tree] { return SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0); };
    const LRESULT selection = selected();
    expectBothWays(tree, kPush, kPull, firstVisible, 5);
    expectBothWays(tree, kTwist, kTwistBack, firstVisible, 10, 12);
    auto top = [list] { return topIndex(list); };
    expectBothWays(list, kPush, kPull, top, 5);
    expectBothWays(list, kTwist, kTwistBack, top, 10, 12);
    EXPECT_EQ(selected(), selection);
    // The tree has the keyboard focus.
    LRESULT moved = selection;
    for (int i = 0; i < 5 && moved == selection; ++i)
        holdCap(tree, kTilt, 40, [&] { moved = selected(); });
    EXPECT_NE(moved, selection);
    holdCap(tree, kTiltBack, 40, [] {});
}

// The list of applications is laid out in columns: it scrolls sideways, which is the way along
// it; the group box around it is looked through.
TEST_F(ScrolledViews, WinecfgApplicationListInsideAGroupBoxScrollsBothWays) {
    ScratchKey apps(L"Software\\Wine\\AppDefaults");
    apps.addKeys(L"glo_app", 200);
    HWND list = start(L"winecfg.exe", L"#32770", L"Wine configuration", L"SysListView32");
    ASSERT_NE(list, nullptr);
    ASSERT_GE(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 200);
    auto top = [list] { return topIndex(list); };
    expectBothWays(list, kPush, kPull, top, 20);
    expectBothWays(list, kTwist, kTwistBack, top, 20, 12);
}

// The system's file dialog on a folder of hundreds of files.
TEST_F(ScrolledViews, FileDialogListOfHundredsOfFilesScrollsBothWays) {
    const std::wstring folder = home.home + L"\\files";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < 300; ++i) {
        home.files.push_back(folder + L"\\file" + std::to_wstring(1000 + i) + L".txt");
        writeFile(home.files.back(), "");
    }
    HWND list = start(std::wstring(dialog::kProgram) + L" open \"" + folder + L"\"", L"#32770",
                      dialog::kTitle, L"SysListView32");
    ASSERT_NE(list, nullptr);
    expectBothWays(
        list, kPush, kPull, [list] { return topIndex(list); }, 20);
    program.reset(); // lets go of the folder
    for (const std::wstring& file : home.files)
        DeleteFileW(file.c_str());
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

// The list inside two group boxes scrolls by lines and pages and keeps its selection; the pane of
// a property sheet, which no plug-in but the generic one knows, scrolls both ways along both of
// its bars.
TEST_F(ScrolledViews, ListsAndPanesInsideGroupBoxesOfDialogsAndPropertySheets) {
    HWND list = start(dialog::kProgram, L"#32770", dialog::kTitle, L"ListBox");
    ASSERT_NE(list, nullptr);
    auto top = [list] { return long(SendMessageW(list, LB_GETTOPINDEX, 0, 0)); };
    expectBothWays(list, kPush, kPull, top, 5);
    expectBothWays(list, kTwist, kTwistBack, top, 5, 12);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR) << "nothing selected";

    HWND pane = start(std::wstring(dialog::kProgram) + L" sheet", L"#32770", dialog::kTitle,
                      dialog::kPaneClass);
    ASSERT_NE(pane, nullptr);
    auto position = [pane](int bar) {
        return [pane, bar] { return long(SendMessageW(pane, dialog::kQueryPosition, bar, 0)); };
    };
    expectBothWays(pane, kPush, kPull, position(SB_VERT), 5);
    expectBothWays(pane, kSlideRight, kSlideLeft, position(SB_HORZ), 5);
    expectBothWays(pane, kTwist, kTwistBack, position(SB_VERT), dialog::kPanePage, 12);
}

// A slide in a list in report view with columns wider than itself scrolls it sideways through its
// own horizontal bar, read from outside by where the list puts its header; a push scrolls it
// down and up. A tree wider than itself keeps its arrow keys: the branch clicked opens and closes.
TEST_F(ScrolledViews, SlideScrollsAWideListSidewaysAndOpensATreesBranch) {
    HWND list = start(std::wstring(dialog::kProgram) + L" lists", L"#32770", dialog::kTitle,
                      L"SysListView32");
    ASSERT_NE(list, nullptr);
    HWND header = FindWindowExW(list, nullptr, L"SysHeader32", nullptr);
    ASSERT_NE(header, nullptr);
    auto scrolled = [list, header] {
        RECT rect;
        GetWindowRect(header, &rect);
        POINT left = {rect.left, rect.top};
        ScreenToClient(list, &left);
        return long(-left.x);
    };
    expectBothWays(list, kSlideRight, kSlideLeft, scrolled, 10, 60);
    expectBothWays(
        list, kPush, kPull, [list] { return topIndex(list); }, 5);

    HWND tree = findChild(GetAncestor(list, GA_ROOT), L"SysTreeView32");
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(GetWindowLongW(tree, GWL_STYLE) & WS_HSCROLL);
    RECT rect;
    GetWindowRect(tree, &rect);
    SetCursorPos(rect.left + 40, rect.top + 8); // the first branch
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    pumpMessages(300);
    const LRESULT branch = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    ASSERT_NE(branch, 0);
    auto open = [tree, branch] {
        return long(SendMessageW(tree, TVM_GETITEMSTATE, branch, TVIS_EXPANDED) & TVIS_EXPANDED);
    };
    expectBothWays(tree, kSlideRight, kSlideLeft, open, 1, 80);
}

// The always-shown list of a simple combo box without a scroll-bar style, which the system's
// wheel scrolls, scrolls on a push and pull too, and a tilt moves its selection (the combo box
// has the keyboard focus).
TEST_F(ScrolledViews, ComboListWithoutAScrollBarMovesOnPushAndTilt) {
    HWND list =
        start(std::wstring(dialog::kProgram) + L" lists", L"#32770", dialog::kTitle, L"ComboLBox");
    ASSERT_NE(list, nullptr);
    ASSERT_FALSE(GetWindowLongW(list, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL));
    auto top = [list] { return long(SendMessageW(list, LB_GETTOPINDEX, 0, 0)); };
    expectBothWays(list, kPush, kPull, top, 5);
    // From an entry in the middle: with none selected the way back would end at the first one.
    SendMessageW(GetParent(list), CB_SETCURSEL, 10, 0);
    auto selected = [list] { return long(SendMessageW(list, LB_GETCURSEL, 0, 0)); };
    ASSERT_EQ(selected(), 10);
    expectBothWays(list, kTilt, kTiltBack, selected, 2);
}

} // namespace
