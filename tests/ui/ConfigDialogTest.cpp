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
#include <string>
#include <thread>
#include <vector>

#include "DriverTest.h"
#include "GdrProxy.h"
#include "PluginHome.h"
#include "TestWindow.h"
#include "ZuVidDriver.h"
#include "fixtures/dialog_probe/DialogProbe.h"
#include "host/GloPluginHost.h"
#include "ui/GdrCapModel.h"
#include "ui/GdrConfigUi.h"

namespace {

std::wstring windowText(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring itemText(HWND tree, HTREEITEM item) {
    wchar_t text[256] = L"";
    TVITEMW data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 256;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

HTREEITEM next(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// The children of `parent` (null: the top level) and their texts.
std::vector<HTREEITEM> items(HWND tree, HTREEITEM parent) {
    std::vector<HTREEITEM> found;
    HTREEITEM item = parent ? next(tree, parent, TVGN_CHILD) : next(tree, nullptr, TVGN_ROOT);
    for (; item; item = next(tree, item, TVGN_NEXT))
        found.push_back(item);
    return found;
}
std::vector<std::wstring> children(HWND tree, HTREEITEM parent) {
    std::vector<std::wstring> texts;
    for (HTREEITEM item : items(tree, parent))
        texts.push_back(itemText(tree, item));
    return texts;
}
HTREEITEM child(HWND tree, HTREEITEM parent, const std::wstring& text) {
    for (HTREEITEM item : items(tree, parent))
        if (itemText(tree, item) == text)
            return item;
    return nullptr;
}

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
void key(WORD vk) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = vk;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
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
    std::wstring selected() { return itemText(tree, next(tree, nullptr, TVGN_CARET)); }
    std::wstring cell(int direction) {
        wchar_t text[GDR_CELL_TEXT_CHARS] = L"";
        SendMessageW(mapping, GDR_AMM_GETTEXT, direction, reinterpret_cast<LPARAM>(text));
        return text;
    }
    int level(int direction) {
        return static_cast<int>(SendMessageW(mapping, GDR_AMM_GETLEVEL, direction, 0));
    }

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
    // The cap held for a while, then let go; the calls of one function it brought.
    std::vector<probe::Call> hold(char function, int x, int y) {
        const LONG before = probed->count;
        for (int i = 0; i < 8; ++i) {
            send(x, y);
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

    probe::Recording* probed = nullptr; // the writer's calls
    int writer = -1, viewer = -1;
    int presses = 0;
    HWND dialog = nullptr, tree = nullptr, mapping = nullptr, cap = nullptr;
};

TEST_F(ConfigDialog, ShowsTheLoadedApplicationsAndFollowsReloads) {
    open(viewer);
    EXPECT_EQ(selected(), L"Viewer");
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
    EXPECT_EQ(cell(gdrDirection(0, true)), L"Pan Right/Left");
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
              std::vector<std::wstring>{L"y" + kMinus + L" Zoom In/Out (threshold 30)"});
    EXPECT_EQ(cell(gdrDirection(1, true)), L"Zoom In/Out");
    EXPECT_EQ(cell(gdrDirection(1, false)), L"Zoom Out/In");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY)));
    // Nothing reaches the application before OK.
    EXPECT_TRUE(hold('Z', 0, -200).empty());

    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(dialog));
    // The motion setups, defaults first, into the plug-in folder where the plug-in reads them.
    const std::string file = readFile(home.plugins + L"Writer.cfg");
    EXPECT_NE(file.find("[Function]\r\nFunction=Pan\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("[Function]\r\nFunction=Zoom\r\nEventType=motion\r\nNumberOfAxis=1\r\n"
                        "Axis=1\r\nAxisPolarity=-1\r\nThreshold=30\r\n"),
              std::string::npos)
        << file;
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
        L"a+ Pan Object Left/Right, b" + kMinus + L" Pan Object Up/Down (threshold 30)";
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan and Zoom Object (Space)")),
              std::vector<std::wstring>{two});
    // The same device axis again turns its direction instead of adding it twice.
    dragOnto(function(L"Writer", L"Pan and Zoom Object (Space)"), gdrDirection(3, true));
    EXPECT_EQ(children(tree, function(L"Writer", L"Pan and Zoom Object (Space)")),
              std::vector<std::wstring>{L"a" + kMinus + L" Pan Object Left/Right, b" + kMinus +
                                        L" Pan Object Up/Down (threshold 30)"});
    EXPECT_EQ(cell(gdrDirection(3, false)), L"Pan Object Right/Left");
    // A button function cannot be put on an axis.
    dragOnto(function(L"Writer", L"History Back (Button)"), gdrDirection(0, true));
    EXPECT_EQ(children(tree, function(L"Writer", L"History Back (Button)")),
              std::vector<std::wstring>{L"Button 0: pressed"});

    // The context menu of a setup removes it.
    HTREEITEM moved = next(tree, function(L"Writer", L"Pan and Zoom Object (Space)"), TVGN_CHILD);
    POINT at = center(moved);
    // (Enter chooses in the menu; it must not reach the dialog as OK too.)
    whilePumping([at] {
        moveTo(at);
        mouseButton(MOUSEEVENTF_RIGHTDOWN);
        mouseButton(MOUSEEVENTF_RIGHTUP);
        Sleep(200);
        key(VK_DOWN);
        key(VK_RETURN);
    });
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(children(tree, function(L"Writer", L"Pan and Zoom Object (Space)")).empty());

    // Delete on a setup removes it.
    HTREEITEM pan = child(tree, function(L"Writer", L"Pan Window (Plane)"),
                          L"x+ Pan Left/Right, z+ Pan Up/Down (threshold 10)");
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

TEST_F(ConfigDialog, LiveMotionLightsTheDirectionsAndTurnsTheCap) {
    open(writer);
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
TEST_F(ConfigDialog, ShowsTheCapModelOrSaysWhyNot) {
    CreateDirectoryW((home.home + L"\\Office\\Geometry").c_str(), nullptr);
    glotest::writeFile(home.home + L"\\Office\\Geometry\\cap.stl",
                       "solid cap\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n");
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
    EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_APPLY)), german ? L"Ü&bernehmen" : L"&Apply");
    const wchar_t* pan = german ? L"Fensterinhalt verschieben (Ebene)" : L"Pan Window (Plane)";
    EXPECT_EQ(children(tree, function(L"Writer", pan)),
              std::vector<std::wstring>{
                  german ? L"x+ Verschieben links/rechts, z+ Verschieben auf/ab (Schwelle 10)"
                         : L"x+ Pan Left/Right, z+ Pan Up/Down (threshold 10)"});
    const wchar_t* back = german ? L"Zurück (Taste)" : L"History Back (Button)";
    EXPECT_EQ(children(tree, function(L"Writer", back)),
              std::vector<std::wstring>{german ? L"Taste 0: gedrückt" : L"Button 0: pressed"});
    EXPECT_EQ(SendMessageW(cap, GDR_CVM_GETSTATUS, 0, 0), GdrCapModelNotFound);
    EXPECT_GT(SendMessageW(cap, GDR_CVM_GETTRIANGLES, 0, 0), 0); // the puck
    EXPECT_EQ(windowText(cap), german ? L"Kein Kappenmodell gefunden. Stattdessen wird ein "
                                        L"einfacher Puck gezeigt."
                                      : L"No cap model found. A plain puck is shown instead.");
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

} // namespace
