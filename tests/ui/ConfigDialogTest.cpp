// The configuration dialog as a user and the driver meet it: the test plays the driver
// (ZuVidInit with a home folder holding the two dialog_probe plug-ins, ZuVidSendEvent), opens the
// dialog through the proxy's function on a window of its own, and works it with injected mouse
// and keyboard input.
#include <gtest/gtest.h>

#include <windows.h>
// (needs the types of windows.h)
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/DriverTest.h"
#include "GdrProxy.h"
#include "GloUserSettings.h"
#include "tests/support/InputRecorder.h"
#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/PluginHome.h"
#include "tests/support/TestWindow.h"
#include "tests/support/TreeItems.h"
#include "ZuVidDriver.h"
#include "tests/fixtures/dialog_probe/DialogProbe.h"
#include "host/GloPluginHost.h"
#include "ui/GdrCapModel.h"
#include "ui/GdrConfigUi.h"

namespace {

std::wstring windowText(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return text;
}

using glotest::child;
using glotest::children;
using glotest::itemText;
using glotest::nextItem;

// Injected input, as the user's hand would make it (absolute moves land within a pixel).
void moveTo(POINT point) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (point.x * 65536 + width - 1) / width;
    input.mi.dy = (point.y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
}
void mouseButton(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}
void key(WORD vk, WORD modifier = 0) {
    INPUT input[4] = {};
    int n = 0;
    auto add = [&](WORD code, DWORD flags) {
        input[n].type = INPUT_KEYBOARD;
        input[n].ki.wVk = code;
        input[n++].ki.dwFlags = flags;
    };
    if (modifier)
        add(modifier, 0);
    add(vk, 0);
    add(vk, KEYEVENTF_KEYUP);
    if (modifier)
        add(modifier, KEYEVENTF_KEYUP);
    SendInput(n, input, sizeof(INPUT));
}
// Popup menus of this process on the screen.
int openMenus() {
    int count = 0;
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t name[16] = L"";
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
                GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32768") == 0)
                ++*reinterpret_cast<int*>(found);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}
// Until `count` menus are open (a busy machine opens them late; keys before would go elsewhere).
void waitForMenus(int count) {
    for (int waited = 0; openMenus() < count && waited < 3000; waited += 10)
        Sleep(10);
    Sleep(30);
}
// Keys one after the other; the menu key, and Right in a menu, wait for the menu they open.
void keys(std::initializer_list<WORD> codes) {
    for (WORD code : codes) {
        const int menus = openMenus();
        key(code);
        if (code == VK_APPS || (code == VK_RIGHT && menus > 0))
            waitForMenus(menus + 1);
        else
            Sleep(30);
    }
}

// Runs `hand` on a thread of its own while this thread pumps (the dialog's modal loops, like the
// tree's drag detection, run in this thread's dispatch).
template <class F> void whilePumping(F hand) {
    std::atomic<bool> done{false};
    std::thread helper([&] {
        hand();
        done = true;
    });
    while (!done)
        glotest::pumpMessages(5);
    helper.join();
    glotest::pumpMessages(50);
}

// A mouse drag from one screen point to another.
void drag(POINT from, POINT to) {
    whilePumping([=] {
        moveTo(from);
        Sleep(40);
        mouseButton(MOUSEEVENTF_LEFTDOWN);
        Sleep(40);
        for (int step = 1; step <= 8; ++step) {
            moveTo({from.x + (to.x - from.x) * step / 8, from.y + (to.y - from.y) * step / 8});
            Sleep(25);
        }
        Sleep(40);
        mouseButton(MOUSEEVENTF_LEFTUP);
    });
}

using glotest::readFile;

// What a setup of Zoom on y- is stored as, whether it came from a drag or from the keyboard.
const char kZoomOnYMinus[] = "[Function]\r\nFunction=Zoom\r\nEventType=motion\r\nNumberOfAxis=1\r\n"
                             "Axis=1\r\nAxisPolarity=-1\r\nThreshold=30\r\n";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
bool contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// The string `id` of the core's table in one language, whatever the user interface speaks.
std::wstring tableString(UINT id, WORD language) {
    HMODULE core = GetModuleHandleW(L"Glo_core_proxy.dll");
    HRSRC block =
        FindResourceExW(core, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    const wchar_t* entry =
        block ? static_cast<const wchar_t*>(LockResource(LoadResource(core, block))) : nullptr;
    for (UINT i = 0; entry && i < id % 16; ++i)
        entry += 1 + *entry;
    return entry ? std::wstring(entry + 1, *entry) : L"";
}
const std::wstring kMinus = L"\x2212";
const std::string kExpectedLanguage =
    std::getenv("GLO_EXPECT_UI_LANG") ? std::getenv("GLO_EXPECT_UI_LANG") : "en";

class ConfigDialog : public glotest::DriverTest {
protected:
    // A home folder with both probes, named in the registry; a window the probes serve, in the
    // foreground under the cursor; the core started as the driver starts it.
    void SetUp() override {
        DriverTest::SetUp();
        home.add(L"dialog_probe_writer");
        home.add(L"dialog_probe_viewer");
        window = glotest::makeWindow(probe::kTargetClass, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                     300, 200);
        focusTarget();
        start();
    }

    void TearDown() override {
        close();
        EXPECT_EQ(getCoreProxy().getConfigDialog(), nullptr);
        DriverTest::TearDown();
        for (const wchar_t* file : {L"Writer.cfg", L"Viewer.cfg"})
            DeleteFileW((home.plugins + file).c_str());
        DeleteFileW((home.home + L"\\Office\\Geometry\\cap.stl").c_str());
        RemoveDirectoryW((home.home + L"\\Office\\Geometry").c_str());
    }

    void start() {
        DriverTest::start();
        probed = exported<probe::Recording* (*)()>(home.plugins + L"dialog_probe_writer.dll",
                                                   "recorded")();
        writer = getPluginHost().findApplication(L"Writer");
        viewer = getPluginHost().findApplication(L"Viewer");
        ASSERT_GE(writer, 0);
        ASSERT_GE(viewer, 0);
    }

    void focusTarget() { glotest::focusAndPoint(window); }

    // Opens the dialog with `selected` as the application of the loaded configuration.
    void open(int selected) {
        getCoreProxy().setLoadedConfigurationIndex(selected);
        ASSERT_EQ(createConfigDialog(window), 1);
        dialog = getCoreProxy().getConfigDialog();
        ASSERT_TRUE(IsWindow(dialog));
        tree = GetDlgItem(dialog, IDC_FUNCTION_TREE);
        mapping = GetDlgItem(dialog, IDC_AXIS_MAPPING);
        cap = GetDlgItem(dialog, IDC_CAP_VIEW);
        glotest::pumpMessages(50);
    }

    HTREEITEM application(const wchar_t* name) { return child(tree, nullptr, name); }
    HTREEITEM function(const wchar_t* app, const wchar_t* text) {
        return child(tree, application(app), text);
    }
    std::wstring selected() { return itemText(tree, nextItem(tree, nullptr, TVGN_CARET)); }
    std::wstring cell(int direction) {
        wchar_t text[GDR_CELL_TEXT_CHARS] = L"";
        SendMessageW(mapping, GDR_AMM_GETTEXT, direction, reinterpret_cast<LPARAM>(text));
        return text;
    }
    int level(int direction) {
        return static_cast<int>(SendMessageW(mapping, GDR_AMM_GETLEVEL, direction, 0));
    }
    int lit(int direction) {
        return static_cast<int>(SendMessageW(mapping, GDR_AMM_GETLIT, direction, 0));
    }
    std::wstring text(int id) { return windowText(GetDlgItem(dialog, id)); }

    // A point on the item's text in screen coordinates; two presses on one spot within the
    // double-click time would be a double click, so the point alternates between two.
    POINT center(HTREEITEM item) {
        SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
        union {
            RECT rect;
            HTREEITEM item;
        } place;
        place.item = item;
        EXPECT_TRUE(SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&place)));
        const int quarter = (place.rect.right - place.rect.left) / 4;
        POINT point = {place.rect.left + quarter * (presses++ % 2 ? 3 : 1),
                       (place.rect.top + place.rect.bottom) / 2};
        ClientToScreen(tree, &point);
        return point;
    }

    // Drags a function of the tree onto an axis direction of the mapping control.
    void dragOnto(HTREEITEM item, int direction) {
        ASSERT_NE(item, nullptr);
        const POINT from = center(item);
        RECT target;
        ASSERT_TRUE(SendMessageW(mapping, GDR_AMM_GETTARGETRECT, direction,
                                 reinterpret_cast<LPARAM>(&target)));
        POINT to = {(target.left + target.right) / 2, (target.top + target.bottom) / 2};
        ClientToScreen(mapping, &to);
        ASSERT_EQ(WindowFromPoint(from), tree);
        drag(from, to);
    }

    void send(int x, int y, int z = 0, int a = 0, int b = 0, int c = 0) {
        const ZuVidEventRecord record = {ZUVID_EVENT_MOTION, {}, 0, 0, {x, y, z, a, b, c}};
        ZuVidSendEvent(window, &record);
    }
    // Button `button` pressed, or released.
    void sendButton(int button, bool pressed) {
        ZuVidEventRecord record = {ZUVID_EVENT_BUTTON, {}, 0, 0, {}};
        (pressed ? record.pressed : record.released) = 1u << button;
        ZuVidSendEvent(window, &record);
    }
    // The cap held for a while, then let go; the calls of one function it brought.
    std::vector<probe::Call> hold(char function, int x, int y, int b = 0) {
        const LONG before = probed->count;
        for (int i = 0; i < 8; ++i) {
            send(x, y, 0, 0, b);
            glotest::pumpMessages(16);
        }
        const ZuVidEventRecord zero = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
        ZuVidSendEvent(window, &zero);
        glotest::pumpMessages(60);
        std::vector<probe::Call> calls;
        for (LONG i = before; i < probed->count; ++i)
            if (probed->calls[i].function == function && probed->calls[i].kind == 'm')
                calls.push_back(probed->calls[i]);
        return calls;
    }

    // The dialog in front with the keyboard's focus on `item` of the tree.
    void focusItem(HTREEITEM item) {
        ASSERT_NE(item, nullptr);
        SetForegroundWindow(dialog);
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        SetFocus(tree);
        glotest::pumpMessages(20);
    }
    // A function put on a direction without the mouse: its context menu from the menu key, "Assign
    // to", the direction's entry.
    void assignFromKeyboard(HTREEITEM function, int direction) {
        focusItem(function);
        whilePumping([direction] {
            keys({VK_APPS, VK_DOWN, VK_RIGHT});
            for (int i = 0; i < direction; ++i)
                keys({VK_DOWN});
            keys({VK_RETURN});
        });
    }
    int focusedId() { return GetDlgCtrlID(GetFocus()); }
    std::wstring status() { return windowText(GetDlgItem(dialog, IDC_STATUS)); }
    int start(int direction) {
        return static_cast<int>(SendMessageW(mapping, GDR_AMM_GETSTART, direction, 0));
    }
    int claims(int direction) {
        return static_cast<int>(SendMessageW(mapping, GDR_AMM_GETCLAIMS, direction, 0));
    }
    // The live application's setups, by function name.
    std::vector<std::wstring> liveSetups(int index) {
        std::vector<std::wstring> names;
        CGlo_Application* object = getPluginHost().getLoadedPlugin(index);
        for (int i = 0; object && i < object->getNumberOfConnections(); ++i)
            names.push_back(object->queryFunctionSetup(i)->getName());
        return names;
    }

    probe::Recording* probed = nullptr; // the writer's calls
    int writer = -1, viewer = -1;
    int presses = 0;
    HWND dialog = nullptr, tree = nullptr, mapping = nullptr, cap = nullptr;
};

TEST_F(ConfigDialog, ShowsTheLoadedApplicationsAndFollowsReloads) {
    open(viewer);
    focusItem(application(L"Viewer"));
    EXPECT_EQ(children(tree, nullptr).size(), 2u);
    EXPECT_EQ(children(tree, application(L"Writer")),
              (std::vector<std::wstring>{L"Pan Window (Plane)", L"Line Scroll Window (Line)",
                                         L"Zoom Window (Line)", L"Pan and Zoom Object (Space)",
                                         L"Next Page (One-shot)", L"History Back (Button)"}));
    // Each function with its current setups (more: SpeaksTheUserInterfaceLanguage), and what
    // each direction does in the selected application.
    EXPECT_EQ(children(tree, function(L"Viewer", L"Next Page (One-shot)")),
              std::vector<std::wstring>{L"b+ (threshold 0)"});
    EXPECT_TRUE(children(tree, function(L"Viewer", L"Zoom Window (Line)")).empty());
    EXPECT_EQ(cell(gdrDirection(0, true)), L"Pan Left");
    EXPECT_EQ(cell(gdrDirection(4, false)), L"Next Page");
    EXPECT_EQ(cell(gdrDirection(4, true)), L"");

    // Opening again brings the same dialog forward.
    EXPECT_EQ(createConfigDialog(nullptr), 1);
    EXPECT_EQ(getCoreProxy().getConfigDialog(), dialog);

    // The core's notification after a reload selects the reloaded application; a reload that
    // names none keeps the selection.
    getCoreProxy().setLoadedConfigurationIndex(writer);
    SendMessageW(dialog, WM_COMMAND, 0x00010418, reinterpret_cast<LPARAM>(core()));
    EXPECT_EQ(selected(), L"Writer");
    SendMessageW(core(), RegisterWindowMessageW(GDR_MSG_CONFIGCHANGED), 0, 0);
    EXPECT_EQ(getCoreProxy().getLoadedConfigurationIndex(), -1);
    EXPECT_EQ(selected(), L"Writer");

    // The driver's close takes the dialog with the core window.
    close();
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(ConfigDialog, DragOntoYMinusAndOkConfiguresTheApplicationAndItsFile) {
    open(writer);
    dragOnto(function(L"Writer", L"Zoom Window (Line)"), gdrDirection(1, true));
    EXPECT_EQ(children(tree, function(L"Writer", L"Zoom Window (Line)")),
              std::vector<std::wstring>{L"y" + kMinus + L" Zoom In (threshold 30)"});
    EXPECT_EQ(cell(gdrDirection(1, true)), L"Zoom In");
    EXPECT_EQ(cell(gdrDirection(1, false)), L"Zoom Out");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY)));
    // Nothing reaches the application before OK.
    EXPECT_TRUE(hold('Z', 0, -200).empty());

    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(dialog));
    // The motion setups, defaults first, into the plug-in folder where the plug-in reads them;
    // the working directory, which the plug-ins' workers share, stayed as it was.
    wchar_t here[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, here);
    EXPECT_EQ(std::wstring(exported<const wchar_t* (*)()>(home.plugins + L"dialog_probe_writer.dll",
                                                          "directoryAtSave")()),
              here);
    const std::string file = readFile(home.plugins + L"Writer.cfg");
    EXPECT_NE(file.find("[Function]\r\nFunction=Pan\r\n"), std::string::npos) << file;
    EXPECT_TRUE(contains(file, kZoomOnYMinus)) << file;
    EXPECT_EQ(file.find("Back"), std::string::npos) << file;

    // The worker selects with it from the next event on: pulling y drives Zoom forward.
    focusTarget();
    std::vector<probe::Call> zoom = hold('Z', 0, -200);
    ASSERT_FALSE(zoom.empty());
    EXPECT_GT(zoom.back().axis0, 0);
    // A new start reads the same configuration from the file.
    close();
    start();
    focusTarget();
    EXPECT_FALSE(hold('Z', 0, -200).empty());
}

TEST_F(ConfigDialog, DropsExtendAndTurnSetupsAndRemovalsStayUntilApplied) {
    open(writer);
    const HTREEITEM move = function(L"Writer", L"Pan and Zoom Object (Space)");
    dragOnto(move, gdrDirection(3, false));
    dragOnto(function(L"Writer", L"Pan and Zoom Object (Space)"), gdrDirection(4, true));
    const std::wstring two =
        L"a+ Pan Object Right, b" + kMinus + L" Pan Object Down (threshold 30)";
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan and Zoom Object (Space)")),
              std::vector<std::wstring>{two});
    // The same device axis again turns its direction instead of adding it twice.
    dragOnto(function(L"Writer", L"Pan and Zoom Object (Space)"), gdrDirection(3, true));
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan and Zoom Object (Space)")),
              std::vector<std::wstring>{L"a" + kMinus + L" Pan Object Right, b" + kMinus +
                                        L" Pan Object Down (threshold 30)"});
    EXPECT_EQ(cell(gdrDirection(3, false)), L"Pan Object Left");
    // A button function cannot be put on an axis.
    dragOnto(function(L"Writer", L"History Back (Button)"), gdrDirection(0, true));
    EXPECT_EQ(children(tree, function(L"Writer", L"History Back (Button)")),
              std::vector<std::wstring>{L"Button 0: pressed"});

    // The context menu of a setup removes it.
    HTREEITEM moved =
        nextItem(tree, function(L"Writer", L"Pan and Zoom Object (Space)"), TVGN_CHILD);
    POINT at = center(moved);
    // (Enter chooses in the menu; it must not reach the dialog as OK too.)
    whilePumping([at] {
        moveTo(at);
        mouseButton(MOUSEEVENTF_RIGHTDOWN);
        mouseButton(MOUSEEVENTF_RIGHTUP);
        waitForMenus(1);
        keys({VK_END, VK_RETURN});
    });
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(children(tree, function(L"Writer", L"Pan and Zoom Object (Space)")).empty());

    // Delete on a setup removes it.
    HTREEITEM pan = child(tree, function(L"Writer", L"Pan Window (Plane)"),
                          L"x+ Pan Right, z+ Pan Down (threshold 10)");
    ASSERT_NE(pan, nullptr);
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(pan));
    SetFocus(tree);
    whilePumping([] { key(VK_DELETE); });
    EXPECT_TRUE(children(tree, function(L"Writer", L"Pan Window (Plane)")).empty());
    EXPECT_EQ(cell(gdrDirection(0, false)), L"");

    // Cancel: the application and its file stay as they were.
    CGlo_Application* object = getPluginHost().getLoadedPlugin(writer);
    const int connections = object->getNumberOfConnections();
    whilePumping([] { key(VK_ESCAPE); });
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(object->getNumberOfConnections(), connections);
    EXPECT_EQ(GetFileAttributesW((home.plugins + L"Writer.cfg").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The cap tried on the dialog only lights it: no function acts on the dialog, even for a
// plug-in that claims the dialog's owner (the probes claim their target window's).
TEST_F(ConfigDialog, LiveMotionLightsTheDirectionsAndTurnsTheCap) {
    open(writer);
    ASSERT_EQ(GetForegroundWindow(), dialog);
    const LONG calls = probed->count;
    send(0, -200, 100, 0, 0, -350);
    glotest::pumpMessages(60);
    EXPECT_TRUE(hold('P', 200, 0).empty());
    EXPECT_EQ(probed->count, calls);
    send(0, -200, 100, 0, 0, -350);
    glotest::pumpMessages(60);
    // In the plug-ins' sign convention: z and c inverted.
    EXPECT_EQ(level(gdrDirection(1, true)), 571);
    EXPECT_EQ(level(gdrDirection(2, true)), 285);
    EXPECT_EQ(level(gdrDirection(5, false)), 1000);
    for (int direction : {0, 1, 2, 4, 6, 7, 8, 9, 11})
        EXPECT_EQ(level(direction), 0) << direction;
    float pose[6] = {};
    SendMessageW(cap, GDR_CVM_GETPOSE, 0, reinterpret_cast<LPARAM>(pose));
    EXPECT_LT(pose[1], 0.0f);
    EXPECT_LT(pose[2], 0.0f);
    EXPECT_EQ(pose[5], 30.0f);

    const ZuVidEventRecord zero = {ZUVID_EVENT_ZERO, {}, 0, 0, {}};
    ZuVidSendEvent(window, &zero);
    glotest::pumpMessages(60);
    for (int direction = 0; direction < kGdrDirections; ++direction)
        EXPECT_EQ(level(direction), 0) << direction;
}

// The driver's thread never waits for the dialog: with the dialog's thread busy, thousands of
// events pass at once and leave one wake-up behind, which shows the latest values.
TEST_F(ConfigDialog, LiveMotionNeverWaitsForTheDialog) {
    open(writer);
    const auto drive = [](void* target) -> DWORD {
        for (int i = 1; i <= 2999; ++i) {
            const ZuVidEventRecord record = {
                ZUVID_EVENT_MOTION, {}, 0, 0, {i % 300, 0, 0, 0, 0, 0}};
            ZuVidSendEvent(static_cast<HWND>(target), &record);
        }
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, drive, window, 0, nullptr);
    const DWORD waited = WaitForSingleObject(thread, 10000);
    if (waited != WAIT_OBJECT_0)
        glotest::pumpMessages(100); // release a driver stuck in the dialog before failing
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the driver's thread waited for the dialog";
    MSG msg;
    int wakeUps = 0;
    while (PeekMessageW(&msg, dialog, WM_APP, WM_APP + 0x3FFF, PM_REMOVE)) {
        ++wakeUps;
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(wakeUps, 1);
    glotest::pumpMessages(60);
    EXPECT_EQ(level(gdrDirection(0, false)), 854); // the last event: x 2999 % 300 = 299
}

// (Which files load: CapModel tests; no file: SpeaksTheUserInterfaceLanguage.)
// The home named as an installer may name it: an expandable value, expanded.
TEST_F(ConfigDialog, ShowsTheCapModelOrSaysWhyNot) {
    CreateDirectoryW((home.home + L"\\Office\\Geometry").c_str(), nullptr);
    glotest::writeFile(home.home + L"\\Office\\Geometry\\cap.stl",
                       "solid cap\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n");
    SetEnvironmentVariableW(L"GLO_TEST_HOME", home.home.c_str());
    const wchar_t expandable[] = L"%GLO_TEST_HOME%";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrana\\Halcyra", L"Home Directory",
                    REG_EXPAND_SZ, expandable, sizeof(expandable));
    open(writer);
    EXPECT_EQ(SendMessageW(cap, GDR_CVM_GETSTATUS, 0, 0), GdrCapModelTruncated);
    EXPECT_NE(windowText(cap).find(kExpectedLanguage == "de" ? L"unvollständig" : L"cut short"),
              std::wstring::npos)
        << windowText(cap).c_str();
}

// Run under an English and under a German user interface (GLO_EXPECT_UI_LANG).
TEST_F(ConfigDialog, SpeaksTheUserInterfaceLanguage) {
    const bool german = kExpectedLanguage == "de";
    open(writer);
    EXPECT_EQ(windowText(dialog), german ? L"Glidora Konfiguration" : L"Glidora Configuration");
    const wchar_t* pan = german ? L"Fensterinhalt verschieben (Ebene)" : L"Pan Window (Plane)";
    EXPECT_EQ(
        children(tree, function(L"Writer", pan)),
        std::vector<std::wstring>{german ? L"x+ Verschieben rechts, z+ Verschieben ab (Schwelle 10)"
                                         : L"x+ Pan Right, z+ Pan Down (threshold 10)"});
    const wchar_t* back = german ? L"Zurück (Taste)" : L"History Back (Button)";
    EXPECT_EQ(children(tree, function(L"Writer", back)),
              std::vector<std::wstring>{german ? L"Taste 0: gedrückt" : L"Button 0: pressed"});
    EXPECT_EQ(SendMessageW(cap, GDR_CVM_GETSTATUS, 0, 0), GdrCapModelNotFound);
    EXPECT_GT(SendMessageW(cap, GDR_CVM_GETTRIANGLES, 0, 0), 0); // the puck
    EXPECT_EQ(windowText(cap), german ? L"Kein Kappenmodell gefunden. Stattdessen wird ein "
                                        L"einfacher Puck gezeigt."
                                      : L"No cap model found. A plain puck is shown instead.");
    // Every text of the table exists in both languages (without falling back on the other), and
    // the dialog's own German ones are German.
    for (UINT id = 1; id <= IDS_LAST_TEXT; id = id == 59 ? IDS_SETUP_THRESHOLD : id + 1) {
        const std::wstring english = tableString(id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        const std::wstring deutsch = tableString(id, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
        EXPECT_FALSE(english.empty() || deutsch.empty()) << id;
        EXPECT_TRUE(id < IDS_SETUP_THRESHOLD || id == IDS_KEY_ALT || deutsch != english) << id;
    }
    // A plug-in's own texts (the viewer's), in the same language; where it gave no German one,
    // its English one.
    EXPECT_NE(function(L"Viewer", german ? L"Schritte zählen (Linie)" : L"Count Steps (Line)"),
              nullptr);
    CGlo_PluginFunction* count = getPluginHost().getLoadedPlugin(viewer)->queryFunction(L"Count");
    ASSERT_NE(count, nullptr);
    wchar_t text[64];
    EXPECT_STREQ(count->getAxisCbDescription(text, sizeof(text), 0, 1),
                 german ? L"Mehr Schritte" : L"More Steps");
    EXPECT_STREQ(count->getAxisCbDescription(text, sizeof(text), 0, -1), L"Fewer Steps");
}

// A driver that unloads the library with the dialog open: no window, hook or class of it may
// call into the code that is gone. (A copy of the library, so that it really unloads.)
TEST_F(ConfigDialog, UnloadingTheLibraryTakesTheDialogAlong) {
    const std::wstring copy = home.home + L"\\glo_core_copy.dll";
    ASSERT_TRUE(CopyFileW((glotest::programFolder() + L"\\Glo_core_proxy.dll").c_str(),
                          copy.c_str(), FALSE));
    HMODULE core = LoadLibraryW(copy.c_str());
    ASSERT_NE(core, nullptr);
    const auto create = reinterpret_cast<int (*)(HWND)>(
        reinterpret_cast<void*>(GetProcAddress(core, "_Z18createConfigDialogP6HWND__")));
    ASSERT_NE(create, nullptr);
    ASSERT_EQ(create(window), 1);
    glotest::pumpMessages(50);
    HWND copied = GetForegroundWindow();
    ASSERT_TRUE(IsWindow(copied));
    HWND controls[] = {GetDlgItem(copied, IDC_AXIS_MAPPING), GetDlgItem(copied, IDC_CAP_VIEW)};
    SetFocus(GetDlgItem(copied, IDC_FUNCTION_TREE));
    FreeLibrary(core);
    EXPECT_EQ(GetModuleHandleW(copy.c_str()), nullptr);
    EXPECT_FALSE(IsWindow(copied));
    for (HWND control : controls)
        EXPECT_FALSE(IsWindow(control));
    // Input and messages of the thread pass no hook of the copy.
    focusTarget();
    whilePumping([] { key(VK_TAB); });
    DeleteFileW(copy.c_str());
}

// Without a mouse: Tab reaches every control in reading order, each one named for a screen reader;
// the menu key assigns a function to a direction, and Enter is OK. The record is the drag's.
TEST_F(ConfigDialog, EverythingWorksFromTheKeyboard) {
    open(writer);
    focusItem(function(L"Writer", L"Pan Window (Plane)")); // its one setup: slider and Reverse on
    std::vector<int> order;
    for (int i = 0; i < 10; ++i) {
        whilePumping([] { key(VK_TAB); });
        order.push_back(focusedId());
    }
    // (Apply is off until something changed.)
    EXPECT_EQ(order, (std::vector<int>{IDC_DEADZONE, IDC_REVERSE, IDC_RESTORE_DEFAULTS, IDC_SPEED,
                                       IDC_SPEED_ALL, IDC_KEY_COMBINATION, IDC_AXIS_MAPPING, IDOK,
                                       IDCANCEL, IDC_FUNCTION_TREE}));
    for (HWND control = GetWindow(tree, GW_HWNDFIRST); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP))
            continue;
        const HWND label = GetWindow(control, GW_HWNDPREV);
        wchar_t kind[32] = L"";
        GetClassNameW(label, kind, 32);
        EXPECT_TRUE(!windowText(control).empty() ||
                    (lstrcmpiW(kind, L"Static") == 0 && !windowText(label).empty()))
            << GetDlgCtrlID(control) << " has no name";
    }

    assignFromKeyboard(function(L"Writer", L"Zoom Window (Line)"), gdrDirection(1, true));
    EXPECT_EQ(children(tree, function(L"Writer", L"Zoom Window (Line)")),
              std::vector<std::wstring>{L"y" + kMinus + L" Zoom In (threshold 30)"});
    ASSERT_EQ(focusedId(), IDC_FUNCTION_TREE);
    whilePumping([] { key(VK_RETURN); });
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(contains(readFile(home.plugins + L"Writer.cfg"), kZoomOnYMinus));
}

// Two setups that answer one push are marked before OK: in the cells and in the status line.
// Here from the mapping control: its focused direction, Shift+F10, "Assign ... here".
TEST_F(ConfigDialog, AConflictIsMarkedBeforeOk) {
    open(writer);
    EXPECT_EQ(claims(gdrDirection(0, false)), 1);
    EXPECT_TRUE(status().empty());
    focusItem(function(L"Writer", L"Zoom Window (Line)"));
    SetFocus(mapping);
    whilePumping([] {
        keys({VK_RIGHT}); // x+, the cell of Pan Right
        key(VK_F10, VK_SHIFT);
        waitForMenus(1);
        keys({VK_DOWN, VK_RETURN});
    });
    EXPECT_EQ(cell(gdrDirection(0, false)), L"Pan Right; Zoom In");
    EXPECT_EQ(claims(gdrDirection(0, false)), 2);
    EXPECT_EQ(claims(gdrDirection(0, true)), 2);
    EXPECT_EQ(claims(gdrDirection(2, false)), 1);
    EXPECT_TRUE(contains(status(), L"Conflict on x+: Pan Window, Zoom Window")) << status();
    EXPECT_EQ(windowText(mapping), L"x+ Pan Right; Zoom In");

    // Removing one of the two ends it.
    HTREEITEM zoom = nextItem(tree, function(L"Writer", L"Zoom Window (Line)"), TVGN_CHILD);
    focusItem(zoom);
    whilePumping([] { key(VK_DELETE); });
    EXPECT_EQ(claims(gdrDirection(0, false)), 1);
    EXPECT_TRUE(status().empty()) << status();
}

// The slider sets the selected setup's dead zone: the cells show at once where a push starts to
// count, OK stores it, and the next events select by it.
TEST_F(ConfigDialog, DeadZoneSliderChangesWhatTheNextEventsSelect) {
    EXPECT_FALSE(hold('P', 150, 0).empty()); // the built-in dead zone of 10
    open(writer);
    focusItem(function(L"Writer", L"Pan Window (Plane)"));
    const HWND slider = GetDlgItem(dialog, IDC_DEADZONE);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 10);
    const int before = start(gdrDirection(0, false));
    EXPECT_GT(before, 0);
    EXPECT_EQ(start(gdrDirection(1, false)), -1); // nothing on y
    whilePumping([] { keys({VK_TAB, VK_END}); });
    EXPECT_EQ(focusedId(), IDC_DEADZONE);
    EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_DEADZONE_VALUE)), L"200");
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan Window (Plane)")),
              std::vector<std::wstring>{L"x+ Pan Right, z+ Pan Down (threshold 200)"});
    // Dead zone 200, rescaled, and the multiplexer's own 60 on top: (227 - 200) x 350 / 150 = 63
    // is the first length above 60.
    EXPECT_EQ(start(gdrDirection(0, false)), 227 * 1000 / 350);
    EXPECT_GT(start(gdrDirection(0, false)), before);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY)));

    whilePumping([] { key(VK_RETURN); });
    ASSERT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(contains(readFile(home.plugins + L"Writer.cfg"),
                         "Function=Pan\r\nEventType=motion\r\nNumberOfAxis=2\r\nAxis=0 2\r\n"
                         "AxisPolarity=1 1\r\nThreshold=200\r\n"));
    focusTarget();
    EXPECT_TRUE(hold('P', 150, 0).empty());
    EXPECT_FALSE(hold('P', 300, 0).empty());
}

// The speed sliders from the keyboard: the selected program's own and that of all programs,
// each labelled with its factor, the line below with what the program moves at, the lights of
// the directions that drive a continuous function at once. OK stores them beside the setups,
// whose file stays as it was, and the next pushes of a continuous function move that much
// faster; a one-shot's do not.
TEST_F(ConfigDialog, SpeedSlidersWorkFromTheKeyboardAndActAfterOk) {
    const std::vector<probe::Call> pan = hold('P', 150, 0), page = hold('N', 0, 0, 200);
    ASSERT_FALSE(pan.empty() || page.empty());
    const std::wstring settings = home.userSettings + L"Settings.ini";
    const std::string setups = readFile(home.plugins + L"Writer.cfg");
    open(writer);
    focusItem(application(L"Writer"));
    EXPECT_EQ(text(IDC_SPEED_VALUE), L"1.0x");
    // (For a program the dead zone slider and Reverse are off.)
    whilePumping([] { keys({VK_TAB, VK_TAB, VK_RIGHT, VK_TAB, VK_LEFT, VK_LEFT}); });
    EXPECT_EQ(focusedId(), IDC_SPEED_ALL);
    EXPECT_EQ(text(IDC_SPEED_VALUE), L"1.4x");
    EXPECT_EQ(text(IDC_SPEED_ALL_VALUE), L"0.5x");
    EXPECT_EQ(text(IDC_SPEED_EFFECTIVE),
              L"Writer moves at 0.7x: its own 1.4x \x00d7 0.5x for all programs.");
    send(300, 0, 0, 0, 300);
    glotest::pumpMessages(60);
    const int pushed = gdrDirection(0, false), twisted = gdrDirection(4, false);
    ASSERT_EQ(level(pushed), 857);
    EXPECT_EQ(lit(pushed), start(pushed) + (857 - start(pushed)) * 700 / 1000);
    EXPECT_EQ(lit(twisted), level(twisted));
    EXPECT_EQ(GetFileAttributesW(settings.c_str()), INVALID_FILE_ATTRIBUTES);

    whilePumping([] { key(VK_RETURN); });
    ASSERT_FALSE(IsWindow(dialog));
    const std::string stored = readFile(settings);
    EXPECT_TRUE(contains(stored, "\r\nSpeed=0.5\r\n[Writer]\r\nSpeed=1.4\r\n")) << stored;
    EXPECT_EQ(readFile(home.plugins + L"Writer.cfg"), setups);
    focusTarget();
    const std::vector<probe::Call> slower = hold('P', 150, 0), paged = hold('N', 0, 0, 200);
    ASSERT_FALSE(slower.empty() || paged.empty());
    EXPECT_EQ(slower[0].axis0, (pan[0].axis0 * 7 + 5) / 10);
    EXPECT_EQ(paged[0].axis0, page[0].axis0);
    CGlo_UserSettings::setSpeed(nullptr, 1);
    CGlo_UserSettings::setSpeed(L"Writer", 1);
}

// Reverse turns one axis of a setup: the button for a one-shot's only direction, the context
// menu for one axis of a pan. A push then selects the other way.
TEST_F(ConfigDialog, ReverseFlipsWhatAPushSelects) {
    EXPECT_FALSE(hold('N', 0, 0, 200).empty());
    EXPECT_TRUE(hold('N', 0, 0, -200).empty());
    open(writer);
    focusItem(function(L"Writer", L"Next Page (One-shot)"));
    whilePumping([] { keys({VK_TAB, VK_TAB, VK_SPACE}); });
    EXPECT_EQ(focusedId(), IDC_REVERSE);
    EXPECT_EQ(cell(gdrDirection(4, true)), L"Next Page");
    EXPECT_EQ(cell(gdrDirection(4, false)), L"");

    focusItem(nextItem(tree, function(L"Writer", L"Pan Window (Plane)"), TVGN_CHILD));
    whilePumping([] { keys({VK_APPS, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}); });
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan Window (Plane)")),
              std::vector<std::wstring>{L"x+ Pan Right, z" + kMinus + L" Pan Down (threshold 10)"});
    EXPECT_EQ(cell(gdrDirection(2, true)), L"Pan Down");

    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const std::string file = readFile(home.plugins + L"Writer.cfg");
    EXPECT_TRUE(contains(file, "Axis=0 2\r\nAxisPolarity=1 -1\r\n")) << file;
    EXPECT_TRUE(contains(file, "Function=NextPage\r\nEventType=motion\r\nNumberOfAxis=0\r\n"
                               "Axis=4\r\nAxisPolarity=-1\r\n"))
        << file;
    focusTarget();
    EXPECT_TRUE(hold('N', 0, 0, 200).empty());
    EXPECT_FALSE(hold('N', 0, 0, -200).empty());
}

// The built-in setups replace the selected program's in the dialog after a confirmation; Cancel
// leaves the application and its file as they were, byte for byte, OK stores them.
TEST_F(ConfigDialog, RestoreDefaultsThenCancelLeavesTheFileAsItWas) {
    close();
    // A record of a function the plug-in does not know: rewritten, the file would lose it.
    const std::string saved = std::string(kZoomOnYMinus) +
                              "[Function]\r\nFunction=Teleport\r\nEventType=motion\r\n"
                              "NumberOfAxis=1\r\nAxis=3\r\nAxisPolarity=1\r\nThreshold=5\r\n";
    glotest::writeFile(home.plugins + L"Writer.cfg", saved);
    const std::wstring settings = home.userSettings + L"Settings.ini";
    CreateDirectoryW(home.userSettings.c_str(), nullptr);
    const std::string speeds = "Speed=2\r\n[Writer]\r\nSpeed=0.5\r\n";
    glotest::writeFile(settings, speeds);
    start();
    const std::vector<std::wstring> live = {L"Back", L"Zoom"};
    ASSERT_EQ(liveSetups(writer), live);
    for (bool keep : {false, true}) {
        open(writer);
        focusItem(application(L"Writer"));
        glotest::MessageBoxAnswerer answerer;
        whilePumping([] { keys({VK_TAB, VK_SPACE}); }); // the slider and Reverse are off
        ASSERT_TRUE(answerer.waitFor(1));
        EXPECT_TRUE(contains(answerer.answered()[0].text, L"built-in setups of Writer"));
        EXPECT_EQ(children(tree, function(L"Writer", L"Pan Window (Plane)")),
                  std::vector<std::wstring>{L"x+ Pan Right, z+ Pan Down (threshold 10)"});
        EXPECT_TRUE(children(tree, function(L"Writer", L"Zoom Window (Line)")).empty());
        // The program's own speed is normal again, that of all programs stays. Nothing reached
        // the application or its files yet.
        EXPECT_EQ(text(IDC_SPEED_VALUE), L"1.0x");
        EXPECT_EQ(text(IDC_SPEED_ALL_VALUE), L"2.0x");
        EXPECT_EQ(liveSetups(writer), live);
        EXPECT_EQ(readFile(home.plugins + L"Writer.cfg"), saved);
        EXPECT_EQ(readFile(settings), speeds);
        // (Enter on the focused button would press it again: OK from the tree.)
        if (keep)
            focusItem(application(L"Writer"));
        whilePumping([keep] { key(keep ? VK_RETURN : VK_ESCAPE); });
        ASSERT_FALSE(IsWindow(dialog));
        if (!keep) {
            EXPECT_EQ(liveSetups(writer), live);
            EXPECT_EQ(readFile(home.plugins + L"Writer.cfg"), saved);
            EXPECT_EQ(readFile(settings), speeds);
        }
    }
    EXPECT_FALSE(contains(readFile(settings), "Writer")) << readFile(settings);
    EXPECT_TRUE(contains(readFile(settings), "\r\nSpeed=2\r\n")) << readFile(settings);
    EXPECT_EQ(liveSetups(writer), (std::vector<std::wstring>{L"Back", L"Pan", L"NextPage"}));
    const std::string file = readFile(home.plugins + L"Writer.cfg");
    EXPECT_TRUE(contains(file, "Function=Pan\r\n")) << file;
    EXPECT_FALSE(contains(file, "Zoom") || contains(file, "Teleport")) << file;
}

// The same for a kit plug-in, whose file is the user's own in %APPDATA%: before OK nothing is
// written to it, not even for a moment, also while another program holds it so that it cannot
// be read.
TEST_F(ConfigDialog, RestoreDefaultsWritesNothingBeforeOk) {
    close();
    home.add(L"glo_text_editor");
    CreateDirectoryW(home.userSettings.c_str(), nullptr);
    const std::wstring userFile = home.userSettings + L"TextEditor.cfg";
    const std::string saved = "[Function]\r\nFunction=PageDown\r\nEventType=motion\r\n"
                              "NumberOfAxis=0\r\nAxis=4\r\nAxisPolarity=1\r\nThreshold=42\r\n";
    glotest::writeFile(userFile, saved);
    const FILETIME longAgo = {0, 0x01c00000};
    {
        HANDLE file = CreateFileW(userFile.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &longAgo));
        CloseHandle(file);
    }
    start();
    for (bool held : {false, true}) {
        const HANDLE holder =
            held ? CreateFileW(userFile.c_str(), GENERIC_READ, FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr)
                 : INVALID_HANDLE_VALUE;
        open(writer);
        focusItem(application(L"TextEditor"));
        glotest::MessageBoxAnswerer answerer;
        whilePumping([] { keys({VK_TAB, VK_SPACE}); });
        ASSERT_TRUE(answerer.waitFor(1));
        whilePumping([] { key(VK_ESCAPE); });
        ASSERT_FALSE(IsWindow(dialog));
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        WIN32_FILE_ATTRIBUTE_DATA now = {};
        EXPECT_TRUE(GetFileAttributesExW(userFile.c_str(), GetFileExInfoStandard, &now)) << held;
        EXPECT_EQ(CompareFileTime(&now.ftLastWriteTime, &longAgo), 0) << held;
        EXPECT_EQ(readFile(userFile), saved) << held;
    }
}

// A plug-in that writes its file by itself: Cancel after Restore defaults puts the file back
// whole; one the dialog could not read before (here: too large to be a configuration) is left
// as the plug-in wrote it, never deleted.
TEST_F(ConfigDialog, RestoreDefaultsPutsBackWhatAPluginWroteByItself) {
    const std::wstring file = home.plugins + L"Writer.cfg";
    exported<void (*)()>(home.plugins + L"dialog_probe_writer.dll", "writeByItself")();
    for (bool readable : {true, false}) {
        glotest::writeFile(file, readable ? std::string("saved") : std::string(17 << 20, ' '));
        open(writer);
        focusItem(application(L"Writer"));
        glotest::MessageBoxAnswerer answerer;
        whilePumping([] { keys({VK_TAB, VK_SPACE}); });
        ASSERT_TRUE(answerer.waitFor(1));
        whilePumping([] { key(VK_ESCAPE); });
        ASSERT_FALSE(IsWindow(dialog));
        EXPECT_EQ(readFile(file), readable ? "saved" : "written by the plug-in");
    }
}

// Plug-ins come and go under an open dialog (run under the heap check too: a freed application
// read or called would show). The driver starts the core again: every plug-in is unloaded and
// loaded anew, and the edits of both programs stay for OK.
TEST_F(ConfigDialog, PluginReloadKeepsTheEditsOfTheProgramsStillThere) {
    open(writer);
    focusItem(function(L"Writer", L"Pan Window (Plane)"));
    whilePumping([] { keys({VK_TAB, VK_END}); });
    assignFromKeyboard(function(L"Viewer", L"Zoom Window (Line)"), gdrDirection(1, true));
    start();
    glotest::pumpMessages(100);
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_NE(getPluginHost().getLoadedPlugin(writer), nullptr);
    EXPECT_TRUE(contains(status(), L"Writer was reloaded; your unsaved changes to it are kept."))
        << status();
    EXPECT_TRUE(contains(status(), L"Viewer was reloaded")) << status();
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan Window (Plane)")),
              std::vector<std::wstring>{L"x+ Pan Right, z+ Pan Down (threshold 200)"});
    // Every part of the dialog that reads an application, once more.
    focusItem(function(L"Viewer", L"Zoom Window (Line)"));
    EXPECT_EQ(cell(gdrDirection(1, true)), L"Zoom In");
    focusItem(application(L"Writer"));
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    whilePumping([] { keys({VK_APPS, VK_ESCAPE}); });

    whilePumping([] { key(VK_RETURN); });
    ASSERT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(contains(readFile(home.plugins + L"Writer.cfg"), "Threshold=200\r\n"));
    EXPECT_TRUE(contains(readFile(home.plugins + L"Viewer.cfg"), kZoomOnYMinus));
}

// A plug-in that crashes while the dialog is open is out of use: the dialog says so and drops
// it, and the other program's edits still go in on OK.
TEST_F(ConfigDialog, PluginCrashDropsOnlyThatProgram) {
    open(writer);
    focusItem(function(L"Writer", L"Pan Window (Plane)"));
    whilePumping([] { keys({VK_TAB, VK_END}); });
    assignFromKeyboard(function(L"Viewer", L"Zoom Window (Line)"), gdrDirection(1, true));
    exported<void (*)()>(home.plugins + L"dialog_probe_viewer.dll", "crashInMatch")();
    // A window of its own in front: the dialog is served by no plug-in, and the target's match
    // was already found when the dialog opened.
    const HWND other = glotest::makeWindow(L"GloTestPlainWindow", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                           60, 60, 200, 150);
    glotest::focusAndPoint(other);
    send(200, 0);
    glotest::pumpMessages(100);
    DestroyWindow(other);
    EXPECT_EQ(getPluginHost().getLoadedPlugin(viewer), nullptr);
    EXPECT_EQ(children(tree, nullptr), std::vector<std::wstring>{L"Writer"});
    EXPECT_EQ(status(), L"Viewer is no longer loaded; its unsaved changes are lost.");
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan Window (Plane)")),
              std::vector<std::wstring>{L"x+ Pan Right, z+ Pan Down (threshold 200)"});
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(contains(readFile(home.plugins + L"Writer.cfg"), "Threshold=200\r\n"));
    EXPECT_EQ(GetFileAttributesW((home.plugins + L"Viewer.cfg").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Saves that fail: OK keeps the dialog open with the edits, names each program and why, and
// Apply stays on; once the cause is gone, OK stores them. The Writer's file is held open by
// another program, the Viewer crashes while it takes its setups, and the text editor (a kit
// plug-in, whose file lives in %APPDATA%) finds no folder for it there.
TEST_F(ConfigDialog, SavesThatFailKeepTheDialogOpenAndSayWhy) {
    close();
    home.add(L"glo_text_editor");
    const std::wstring userFolder = home.userSettings.substr(0, home.userSettings.size() - 1);
    RemoveDirectoryW(userFolder.c_str());
    glotest::writeFile(userFolder, "a file where the folder should be");
    home.files.push_back(userFolder);
    start();
    const std::wstring writerFile = home.plugins + L"Writer.cfg";
    glotest::writeFile(writerFile, "kept");
    open(writer);
    focusItem(function(L"Writer", L"Pan Window (Plane)"));
    whilePumping([] { keys({VK_TAB, VK_END}); });
    focusItem(nextItem(tree, application(L"TextEditor"), TVGN_CHILD));
    whilePumping([] { keys({VK_TAB, VK_END}); });
    assignFromKeyboard(function(L"Viewer", L"Zoom Window (Line)"), gdrDirection(1, true));
    SetFocus(GetDlgItem(dialog, IDC_SPEED_ALL));
    whilePumping([] { keys({VK_RIGHT}); });
    exported<void (*)()>(home.plugins + L"dialog_probe_viewer.dll", "crashInSave")();
    HANDLE held = CreateFileW(writerFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    CloseHandle(held);
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(contains(status(), L"TextEditor: your changes were not saved. The folder " +
                                       userFolder + L" cannot be made."))
        << status();
    EXPECT_TRUE(contains(status(), L"Writer: your changes were not saved. Writer.cfg cannot be "
                                   L"replaced: it is read-only, or another program holds it open."))
        << status();
    EXPECT_TRUE(contains(status(), L"Viewer crashed while taking your changes")) << status();
    EXPECT_TRUE(contains(status(), L"Speed: your changes were not saved. The folder " + userFolder +
                                       L" cannot be made."))
        << status();
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY)));
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan Window (Plane)")),
              std::vector<std::wstring>{L"x+ Pan Right, z+ Pan Down (threshold 200)"});
    EXPECT_EQ(readFile(writerFile), "kept");

    DeleteFileW(userFolder.c_str());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(dialog)) << status();
    EXPECT_TRUE(contains(readFile(writerFile), "Threshold=200\r\n"));
    EXPECT_TRUE(contains(readFile(home.userSettings + L"TextEditor.cfg"), "Threshold=200\r\n"));
    EXPECT_TRUE(contains(readFile(home.userSettings + L"Settings.ini"), "\r\nSpeed=1.4\r\n"));
}

// A reload with one plug-in fewer while the last program of the list is selected, and the one
// left crashes as the dialog reads it: the dialog shows what is left and says what went.
TEST_F(ConfigDialog, PluginCrashWhileReadAfterAReloadWithOneFewer) {
    const bool writerLast = writer > viewer;
    const std::wstring last =
        home.plugins + (writerLast ? L"dialog_probe_writer.dll" : L"dialog_probe_viewer.dll");
    const std::wstring other =
        home.plugins + (writerLast ? L"dialog_probe_viewer.dll" : L"dialog_probe_writer.dll");
    open(writer);
    focusItem(application(writerLast ? L"Writer" : L"Viewer"));
    ASSERT_TRUE(MoveFileW(other.c_str(), (other + L".gone").c_str()));
    home.files.push_back(other + L".gone");
    exported<void (*)()>(last, "crashInRead")(); // (kept loaded: the flag outlives the reload)
    DriverTest::start();
    glotest::pumpMessages(100);
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_EQ(getPluginHost().getNumberOfPlugins(), 1);
    EXPECT_EQ(children(tree, nullptr), std::vector<std::wstring>{L"No plug-in loaded"});
    EXPECT_TRUE(contains(status(), L"Writer is no longer loaded.")) << status();
    EXPECT_TRUE(contains(status(), L"Viewer is no longer loaded.")) << status();
}

} // namespace

namespace {

// A dialog box of `thread` other than `other` once it shows (a key dialog, a question), from
// a helper thread while that thread runs the box's loop; null after three seconds.
HWND waitForBox(DWORD thread, HWND other) {
    for (int waited = 0; waited < 3000; waited += 10) {
        std::pair<HWND, HWND> state(other, nullptr);
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM result) -> BOOL {
                wchar_t name[16] = L"";
                auto* found = reinterpret_cast<std::pair<HWND, HWND>*>(result);
                if (window != found->first && IsWindowVisible(window) &&
                    GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0) {
                    found->second = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&state));
        if (state.second) {
            Sleep(30);
            return state.second;
        }
        Sleep(10);
    }
    return nullptr;
}

// One key going down or up, with its scan code as a keyboard sends it (the hot-key control
// reads the key of a character from it).
void inject(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
}

// Ctrl+S as a hand types it: the modifier down, the key, the modifier up.
void ctrlS() {
    for (const auto& stroke : {std::make_pair(VK_CONTROL, false), std::make_pair(int('S'), false),
                               std::make_pair(int('S'), true), std::make_pair(VK_CONTROL, true)}) {
        inject(WORD(stroke.first), stroke.second);
        Sleep(30);
    }
}

} // namespace

// A key combination put on a button without the mouse: the key dialog from the button's entry
// (Alt+K), the button chosen there, the keys pressed into the system's hot-key control, OK. The
// tree shows it by its keys' names in place of the plug-in's own setup of that button; nothing
// is stored before Apply, which keeps it beside the speeds (the setups' file stays as it was),
// and from then on the button sends the keys into the program in front, not the plug-in's
// function. Del on it gives the button back.
TEST_F(ConfigDialog, AKeyCombinationGoesOnAButtonFromTheKeyboard) {
    const std::wstring settings = home.userSettings + L"Settings.ini";
    open(writer);
    focusItem(child(tree, function(L"Writer", L"History Back (Button)"), L"Button 0: pressed"));
    const DWORD thread = GetCurrentThreadId();
    const HWND main = dialog;
    HWND box = nullptr;
    std::wstring listed;
    whilePumping([&] {
        key('K', VK_MENU);
        box = waitForBox(thread, main);
        if (!box)
            return;
        listed = windowText(GetDlgItem(box, IDC_KEYS_BUTTON));
        keys({VK_DOWN, VK_UP, VK_TAB}); // button 1, back to 0, the keys field
        ctrlS();
        keys({VK_RETURN});
    });
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(listed, L"Button 0: History Back (Button)");
    EXPECT_EQ(selected(), L"Button 0: Ctrl+S");
    EXPECT_TRUE(children(tree, function(L"Writer", L"History Back (Button)")).empty());
    EXPECT_FALSE(CGlo_UserSettings::getButtonKeys(L"Writer", 0, nullptr, nullptr));
    EXPECT_EQ(GetFileAttributesW(settings.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(liveSetups(writer).front(), L"Back");

    whilePumping([] { key('A', VK_MENU); }); // Apply
    unsigned modifiers = 0, stored = 0;
    EXPECT_TRUE(CGlo_UserSettings::getButtonKeys(L"Writer", 0, &modifiers, &stored));
    EXPECT_EQ(modifiers, unsigned(GLO_KeyCtrl));
    EXPECT_EQ(stored, unsigned('S'));
    EXPECT_TRUE(contains(readFile(settings), "[Writer]\r\nButton 0=Ctrl+S\r\n"))
        << readFile(settings);
    EXPECT_EQ(GetFileAttributesW((home.plugins + L"Writer.cfg").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(liveSetups(writer).front(), L"UserKeyCombination");
    EXPECT_EQ(selected(), L"Button 0: Ctrl+S");

    // The button at work: the keys reach the program in front, the plug-in's function does not run.
    focusTarget();
    {
        glotest::InputRecorder input(false);
        ASSERT_TRUE(input.active());
        const LONG before = probed->count;
        sendButton(0, true);
        input.waitFor(4, 2000);
        glotest::pumpMessages(60);
        sendButton(0, false);
        glotest::pumpMessages(60);
        std::wstring sent;
        for (const glotest::RecordedInput& e : input.events())
            sent += ((e.flags & LLKHF_UP) ? L"-" : L"+") + std::to_wstring(e.vkCode) + L" ";
        EXPECT_EQ(sent, L"+17 +83 -83 -17 ");
        for (LONG i = before; i < probed->count; ++i)
            EXPECT_NE(probed->calls[i].function, 'B');
    }

    // Removed again, and OK: the button is the plug-in's once more.
    open(writer);
    HTREEITEM keysItem = child(tree, application(L"Writer"), L"Button 0: Ctrl+S");
    focusItem(keysItem);
    whilePumping([] { keys({VK_DELETE, VK_RETURN}); });
    ASSERT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(CGlo_UserSettings::getButtonKeys(L"Writer", 0, nullptr, nullptr));
    EXPECT_FALSE(contains(readFile(settings), "Button 0")) << readFile(settings);
    EXPECT_EQ(liveSetups(writer).front(), L"Back");
}

// Enter presses the push button that has the keyboard focus, as in every dialog, also one that
// got it by its letter, after the question it asked has closed; on the tree it is OK.
TEST_F(ConfigDialog, EnterPressesTheFocusedButton) {
    open(writer);
    focusItem(application(L"Writer"));
    glotest::MessageBoxAnswerer answerer;
    // Restore defaults by its letter, as the guide does: the focus goes to it, not the default.
    whilePumping([] { key('R', VK_MENU); });
    ASSERT_TRUE(answerer.waitFor(1));
    ASSERT_EQ(focusedId(), IDC_RESTORE_DEFAULTS);
    whilePumping([] { keys({VK_RETURN}); });
    EXPECT_TRUE(answerer.waitFor(2));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(GetFileAttributesW((home.plugins + L"Writer.cfg").c_str()), INVALID_FILE_ATTRIBUTES);
    // The default frame follows the focus, and comes back to OK when it leaves the buttons.
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, IDC_RESTORE_DEFAULTS), GWL_STYLE) &
                BS_DEFPUSHBUTTON);
    focusItem(application(L"Writer"));
    whilePumping([] { keys({VK_RETURN}); });
    EXPECT_FALSE(IsWindow(dialog));
}

// Shift+F10 opens the context menu wherever the menu key does, pressed as a hand presses it.
TEST_F(ConfigDialog, ShiftF10OpensTheContextMenu) {
    open(writer);
    for (HWND control : {tree, mapping}) {
        focusItem(function(L"Writer", L"Zoom Window (Line)"));
        SetFocus(control);
        int menus = 0;
        whilePumping([&menus] {
            inject(VK_SHIFT, false);
            Sleep(30);
            inject(VK_F10, false);
            Sleep(80);
            inject(VK_F10, true);
            Sleep(30);
            inject(VK_SHIFT, true);
            waitForMenus(1);
            Sleep(100);
            menus = openMenus();
            keys({VK_ESCAPE});
        });
        EXPECT_EQ(menus, 1) << (control == tree ? "tree" : "directions");
        EXPECT_TRUE(IsWindow(dialog));
    }
}

// The dialog opens on the program in front when it is asked for, as an event would find it;
// with none that a plug-in serves, on the one whose configuration was loaded last.
TEST_F(ConfigDialog, OpensOnTheProgramInFront) {
    open(viewer); // Writer serves the window in front (it claims it before Viewer)
    EXPECT_EQ(selected(), L"Writer");
    close();
    start();
    const HWND plain = glotest::makeWindow(L"GloTestPlainWindow", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                           60, 60, 200, 150);
    glotest::focusAndPoint(plain);
    open(viewer);
    EXPECT_EQ(selected(), L"Viewer");
    DestroyWindow(plain);
}

// Every shipped plug-in's cells say what each direction does, the one way it goes: never both
// ways of a function ("Line Scroll Up/Down"), whichever way its setup turns it.
class ShippedCells : public glotest::DriverTest {};

TEST_F(ShippedCells, SayWhatEachDirectionDoes) {
    home.addShipped();
    window = glotest::makeWindow(L"GloTestPlainWindow", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60,
                                 200, 150);
    glotest::focusAndPoint(window);
    start();
    ASSERT_EQ(createConfigDialog(window), 1);
    const HWND dialog = getCoreProxy().getConfigDialog();
    const HWND tree = GetDlgItem(dialog, IDC_FUNCTION_TREE);
    const HWND mapping = GetDlgItem(dialog, IDC_AXIS_MAPPING);
    const std::vector<std::wstring> names = children(tree, nullptr);
    EXPECT_EQ(names.size(), 10u);
    std::map<std::wstring, std::wstring> cells; // x+ x- y+ y- z+ z- a+ a- b+ b- c+ c-
    for (const std::wstring& name : names) {
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(child(tree, nullptr, name.c_str())));
        std::wstring plus;
        for (int direction = 0; direction < kGdrDirections; ++direction) {
            wchar_t text[GDR_CELL_TEXT_CHARS] = L"";
            SendMessageW(mapping, GDR_AMM_GETTEXT, direction, reinterpret_cast<LPARAM>(text));
            const std::wstring where = name + L" " + std::to_wstring(direction);
            EXPECT_EQ(std::wstring(text).find(L'/'), std::wstring::npos) << where.c_str();
            // The two ways of an axis: both free, or the two halves of what it drives.
            if (direction % 2 == 0)
                plus = text;
            else
                EXPECT_TRUE(plus.empty() == (text[0] == L'\0') && (plus.empty() || plus != text))
                    << where.c_str() << ": " << plus.c_str() << " | " << text;
            cells[name] += std::wstring(direction ? L" | " : L"") + text;
        }
    }
    DestroyWindow(dialog);
    EXPECT_EQ(
        cells[L"TextEditor"],
        L"Line Scroll Right | Line Scroll Left | Zoom Out | Zoom In | Line Scroll Down | "
        L"Line Scroll Up | Cursor Down | Cursor Up | Scroll Page Down | Scroll Page Up |  | ");
    EXPECT_EQ(cells[L"Layout"], L"Pan Right | Pan Left | Zoom Out | Zoom In | Pan Down | Pan Up | "
                                L" |  | Next Page | Previous Page |  | ");
}
