// Views a user scrolls, moved by the cap on the whole road: the substitute driver (glo_driver)
// replays the motion through the core and the ten shipped plug-ins, and the view's position is
// read from outside the program while it plays. Regedit's tree and value list, winecfg's list
// of applications (in list mode, inside a group box of a property sheet), the system's file
// dialog on a folder of hundreds of files, and a dialog of the test's own whose list lies inside
// nested group boxes.
#include <gtest/gtest.h>

#include <windows.h>
// (needs the types of windows.h)
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "FakeDriver.h"
#include "PluginHome.h"
#include "TestProgram.h"
#include "fixtures/views_dialog/ViewsDialog.h"

using namespace glotest;

namespace {

const wchar_t* const kShipped[] = {L"glo_text_editor", L"glo_trees_lists",  L"glo_word_processor",
                                   L"glo_spreadsheet", L"glo_presentation", L"glo_mail",
                                   L"glo_browser",     L"glo_pdf_viewer",   L"glo_layout",
                                   L"glo_generic"};

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

// What one motion there and one back did to a position read while they played.
struct Travel {
    long start = 0, peak = 0, end = 0;
};

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

// Waits up to 15 s for a top-level window of the class (and title) with a visible child view.
HWND waitForView(const wchar_t* topClass, const wchar_t* title, const wchar_t* viewClass) {
    for (int waited = 0; waited < 15000; waited += 50) {
        if (HWND top = FindWindowW(topClass, title))
            if (HWND view = findChild(top, viewClass))
                return view;
        pumpMessages(50);
    }
    return nullptr;
}

// A key of the current user's registry with keys and values the test adds, which go again at
// the end (the key too when the test made it).
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
        RegCloseKey(key_);
        if (made_)
            RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    // Keys named `prefix`1000, `prefix`1001 and so on.
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

private:
    std::wstring name(int i) const { return prefix_ + std::to_wstring(1000 + i); }

    std::wstring path_, prefix_;
    HKEY key_ = nullptr;
    bool made_ = false;
    int keys_ = 0;
};

// A folder of empty files, removed again at the end.
class ScratchFolder {
public:
    ScratchFolder(std::wstring path, int files) : path_(std::move(path)), files_(files) {
        CreateDirectoryW(path_.c_str(), nullptr);
        for (int i = 0; i < files_; ++i)
            CloseHandle(
                CreateFileW(file(i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    ~ScratchFolder() {
        for (int i = 0; i < files_; ++i)
            DeleteFileW(file(i).c_str());
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring file(int i) const {
        return path_ + L"\\file" + std::to_wstring(1000 + i) + L".txt";
    }

    std::wstring path_;
    int files_;
};

// A value of the current user's registry set for the test and put back as it was.
class ScratchValue {
public:
    ScratchValue(const wchar_t* key, const wchar_t* name, const std::wstring& value)
        : key_(key), name_(name) {
        HKEY opened;
        keyExisted_ = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) == ERROR_SUCCESS;
        if (keyExisted_)
            RegCloseKey(opened);
        DWORD size = sizeof(previous_);
        had_ = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, previous_,
                            &size) == ERROR_SUCCESS;
        RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(),
                        DWORD((value.size() + 1) * sizeof(wchar_t)));
    }
    ~ScratchValue() {
        if (had_)
            RegSetKeyValueW(HKEY_CURRENT_USER, key_, name_, REG_SZ, previous_,
                            DWORD((lstrlenW(previous_) + 1) * sizeof(wchar_t)));
        else if (keyExisted_)
            RegDeleteKeyValueW(HKEY_CURRENT_USER, key_, name_);
        else
            RegDeleteTreeW(HKEY_CURRENT_USER, key_);
    }

private:
    const wchar_t* key_;
    const wchar_t* name_;
    wchar_t previous_[512] = L"";
    bool keyExisted_ = false, had_ = false;
};

class ScrolledViews : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* plugin : kShipped)
            home.add(plugin);
    }
    void TearDown() override { program.reset(); }

    HWND start(const std::wstring& commandLine, const wchar_t* topClass, const wchar_t* title,
               const wchar_t* viewClass) {
        program = std::make_unique<TestProgram>(commandLine);
        return program->started() ? waitForView(topClass, title, viewClass) : nullptr;
    }

    // The cap held `count` device reports one way, let go, then held the other way, with the
    // program in front and the cursor resting on `view`; `position` is read all the while.
    Travel travel(HWND view, const char* there, const char* back,
                  const std::function<long()>& position, int count = 40) {
        EXPECT_TRUE(bringToFront(GetAncestor(view, GA_ROOT)));
        cursorOn(view);
        pumpMessages(200);
        Travel t;
        t.start = t.peak = position();
        const std::string trace = "rate 16\nwait 200\n" + hold(count, there) + "zero\nwait 300\n" +
                                  hold(count, back) + "zero\nwait 300\n";
        EXPECT_EQ(runDriver(home.home, trace, L"", [&] { t.peak = std::max(t.peak, position()); }),
                  0u);
        t.end = position();
        return t;
    }
    // Moved on by at least `atLeast` and came back at least half the way (the steps follow the
    // time the cap is held, which a loaded machine stretches).
    static void expectBothWays(const Travel& t, long atLeast) {
        EXPECT_GE(t.peak - t.start, atLeast) << "from " << t.start;
        EXPECT_LE(t.end - t.start, (t.peak - t.start) / 2) << "peak " << t.peak;
    }

    PluginHome home{L"glo_views"};
    std::unique_ptr<TestProgram> program;
};

long topIndex(HWND list) {
    return long(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
}

// Pushing scrolls the tree and the list through their own scroll bars by lines, a twist by
// pages; the selection stays. A tilt moves the selection of the view with the keyboard focus.
TEST_F(ScrolledViews, RegeditTreeAndValueListScrollBothWays) {
    const std::wstring path = L"Software\\GloScrolledViews";
    ScratchKey key(path);
    key.addKeys(L"Key", 300); // the tree shows them below the key
    ScratchKey values(path + L"\\Key1000");
    values.addValues(300);
    ScratchValue last(L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", L"LastKey",
                      L"HKEY_CURRENT_USER\\" + path + L"\\Key1000");
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
    {
        SCOPED_TRACE("tree, push and pull");
        expectBothWays(travel(tree, kPush, kPull, firstVisible), 5);
    }
    {
        SCOPED_TRACE("tree, twist");
        expectBothWays(travel(tree, kTwist, kTwistBack, firstVisible, 12), 10);
    }
    EXPECT_EQ(selected(), selection);
    {
        SCOPED_TRACE("list, push and pull");
        expectBothWays(travel(list, kPush, kPull, [list] { return topIndex(list); }), 5);
    }
    {
        SCOPED_TRACE("list, twist");
        expectBothWays(travel(
                           list, kTwist, kTwistBack, [list] { return topIndex(list); }, 12),
                       10);
    }
    EXPECT_EQ(selected(), selection);
    // The tree has the keyboard focus: a tilt moves its selection.
    LRESULT moved = selection;
    travel(tree, kTilt, kTiltBack, [&] {
        if (moved == selection)
            moved = selected();
        return 0L;
    });
    EXPECT_NE(moved, selection);
}

// The list of applications is laid out in columns: it scrolls sideways, which is the way down
// it; the group box around it is looked through.
TEST_F(ScrolledViews, WinecfgApplicationListInsideAGroupBoxScrollsBothWays) {
    ScratchKey apps(L"Software\\Wine\\AppDefaults");
    apps.addKeys(L"glo_app", 200);
    HWND list = start(L"winecfg.exe", L"#32770", L"Wine configuration", L"SysListView32");
    ASSERT_NE(list, nullptr);
    ASSERT_GE(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 200);
    expectBothWays(travel(list, kPush, kPull, [list] { return topIndex(list); }), 20);
    expectBothWays(travel(
                       list, kTwist, kTwistBack, [list] { return topIndex(list); }, 12),
                   20);
}

// The system's file dialog on a folder of hundreds of files.
TEST_F(ScrolledViews, FileDialogListOfHundredsOfFilesScrollsBothWays) {
    const ScratchFolder folder(home.home + L"\\files", 300);
    HWND list = start(std::wstring(views_dialog::kProgram) + L" open \"" + folder.path() + L"\"",
                      L"#32770", views_dialog::kTitle, L"SysListView32");
    ASSERT_NE(list, nullptr);
    expectBothWays(travel(list, kPush, kPull, [list] { return topIndex(list); }), 20);
    program.reset(); // lets go of the folder
}

namespace dialog = views_dialog;

// The list inside two group boxes scrolls by lines and pages; the pane of a property sheet,
// which no plug-in but the generic one knows, scrolls both ways along both of its bars.
TEST_F(ScrolledViews, ListsAndPanesInsideGroupBoxesOfDialogsAndPropertySheets) {
    HWND list = start(dialog::kProgram, L"#32770", dialog::kTitle, L"ListBox");
    ASSERT_NE(list, nullptr);
    auto top = [list] { return long(SendMessageW(list, LB_GETTOPINDEX, 0, 0)); };
    expectBothWays(travel(list, kPush, kPull, top), 5);
    expectBothWays(travel(list, kTwist, kTwistBack, top, 12), 5);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR) << "nothing selected";

    HWND pane = start(std::wstring(dialog::kProgram) + L" sheet", L"#32770", dialog::kTitle,
                      dialog::kPaneClass);
    ASSERT_NE(pane, nullptr);
    auto position = [pane](int bar) {
        return [pane, bar] { return long(SendMessageW(pane, dialog::kQueryPosition, bar, 0)); };
    };
    expectBothWays(travel(pane, kPush, kPull, position(SB_VERT)), 5);
    expectBothWays(travel(pane, kSlideRight, kSlideLeft, position(SB_HORZ)), 5);
    expectBothWays(travel(pane, kTwist, kTwistBack, position(SB_VERT), 12), dialog::kPanePage);
}

// A user's setups stored by the version that moved the selection on a push are read as they
// were: pushing the cap over the list (which has the keyboard focus) moves its selection.
TEST_F(ScrolledViews, SetupsStoredBeforeStillMoveTheSelection) {
    CreateDirectoryW(home.userSettings.c_str(), nullptr);
    home.files.push_back(home.userSettings + L"TreesAndLists.cfg");
    auto record = [](const char* function, int axes, int axis, int polarity, int threshold) {
        return std::string("[Function]\r\nFunction=") + function +
               "\r\nEventType=motion\r\nNumberOfAxis=" + std::to_string(axes) +
               "\r\nAxis=" + std::to_string(axis) + "\r\nAxisPolarity=" + std::to_string(polarity) +
               "\r\nThreshold=" + std::to_string(threshold) + "\r\n";
    };
    writeFile(home.files.back(),
              record("CursorUpDown", 1, 2, 1, 0) + record("CursorLeftRight", 1, 0, 1, 0) +
                  record("PageDown", 0, 4, 1, 60) + record("PageUp", 0, 4, -1, 60));
    HWND list = start(dialog::kProgram, L"#32770", dialog::kTitle, L"ListBox");
    ASSERT_NE(list, nullptr);
    long furthest = -1;
    travel(
        list, kPush, kPull,
        [&] {
            furthest = std::max(furthest, long(SendMessageW(list, LB_GETCURSEL, 0, 0)));
            return 0L;
        },
        60);
    EXPECT_GE(furthest, 1);
}

} // namespace
