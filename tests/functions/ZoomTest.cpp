// Zoom as a program meets it: each notch of the wheel finds Ctrl down for real and the user's
// Shift and Alt up, also in a view whose thread does not have the keyboard focus; the notches
// follow the deflection; and however a gesture ends, the keys are as the user holds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "tests/functions/PluginProbe.h"
#include "tests/support/TestWindow.h"

using namespace glotest;

namespace {

// The wheel messages a view took: "+" or "-" for the turn, then C, S, A for the Ctrl, Shift and
// Alt its thread reads then (GetKeyState, as programs do).
std::mutex g_lock;
std::string g_wheel;

LRESULT CALLBACK wheelViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEWHEEL) {
        std::lock_guard<std::mutex> guard(g_lock);
        g_wheel += GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? "+" : "-";
        g_wheel += GetKeyState(VK_CONTROL) < 0 ? "C" : "";
        g_wheel += GetKeyState(VK_SHIFT) < 0 ? "S" : "";
        g_wheel += GetKeyState(VK_MENU) < 0 ? "A" : "";
        return 0;
    }
    if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCOMMAND)
        return 0; // no menu for a lone Alt
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

// What the view took once `count` notches arrived (or two seconds passed).
std::string wheelTaken(size_t count) {
    eventually(
        [count] {
            std::lock_guard<std::mutex> guard(g_lock);
            return size_t(std::count_if(g_wheel.begin(), g_wheel.end(),
                                        [](char c) { return c == '+' || c == '-'; })) >= count;
        },
        2000);
    std::lock_guard<std::mutex> guard(g_lock);
    std::string taken;
    taken.swap(g_wheel);
    return taken;
}

} // namespace

// With the keyboard focus in a window of another thread (and only Ctrl held by the user: a notch
// beside the user's Shift or Alt brings its own Ctrl, which that thread may not see), then with
// the focus in the view itself, whatever the user holds. Each gesture ends once its notches have
// arrived, as the device's next event comes after the program took them.
TEST(Zoom, EveryNotchFindsCtrlDownAndTheUsersShiftAndAltUp) {
    HWND view = nullptr;
    std::thread viewThread([&view] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = wheelViewProc;
        wc.lpszClassName = L"GloWheelView";
        RegisterClassW(&wc);
        HWND made = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 300, 200, 300, 200, nullptr,
                                    nullptr, nullptr, nullptr);
        ShowWindow(made, SW_SHOWNOACTIVATE);
        InterlockedExchangePointer(reinterpret_cast<void**>(&view), made);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
    });
    ASSERT_TRUE(eventually([&view] { return view != nullptr; }));
    const HWND focus = makeWindow(L"GloTestView", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr);
    Probe probe;
    const CGlo_Event press(0, 0, 0, 0, 0, 0, 2, 1);
    for (const bool inView : {false, true}) {
        ASSERT_TRUE(bringToFront(inView ? view : focus));
        cursorOn(view);
        for (const int held :
             inView ? std::vector<int>{None, LShift, RShift | LCtrl, LAlt, RAlt | LShift}
                    : std::vector<int>{None, LCtrl, RCtrl, LCtrl | RCtrl}) {
            SCOPED_TRACE(std::to_string(held) + (inView ? " in the view" : " elsewhere"));
            hold(held, false);
            probe.zoomInOut(motion(200));
            EXPECT_EQ(wheelTaken(1), "+C");
            probe.zoomInOut(kZero);
            probe.zoomOutIn(motion(200));
            EXPECT_EQ(wheelTaken(1), "-C");
            probe.zoomOutIn(press);      // a button ends it too
            for (int i = 0; i < 11; ++i) // at full deflection the 11th event turns it again
                probe.zoomInOut(motion(-350));
            EXPECT_EQ(wheelTaken(2), "-C-C");
            probe.zoomInOut(kZero);
            EXPECT_EQ(heldNow(), held);
            hold(held, true);
        }
    }
    DestroyWindow(focus);
    PostMessageW(view, WM_CLOSE, 0, 0);
    viewThread.join();
}

namespace {

// Takes every input and injects only the keys (the wheel would turn whatever lies under the
// cursor); refuses a Ctrl release while asked to, as a system with another desktop in front.
std::atomic<int> g_notches{0}, g_keys{0}; // counted on the plug-in's worker
std::atomic<bool> g_refuseCtrlUp{false};

UINT WINAPI keysOnly(UINT count, LPINPUT inputs, int size) {
    for (UINT i = 0; i < count; ++i) {
        const KEYBDINPUT& key = inputs[i].ki;
        if (inputs[i].type == INPUT_MOUSE)
            ++g_notches;
        else if (g_refuseCtrlUp && key.wVk == VK_CONTROL && (key.dwFlags & KEYEVENTF_KEYUP))
            return i;
        else
            g_keys += SendInput(1, &inputs[i], size);
    }
    return count;
}

} // namespace

// One notch when the gesture starts, then 1 a second (100 events) at the low end of the range
// and 10 at the top, growing in between.
TEST(Zoom, NotchesFollowTheDeflection) {
    Probe probe;
    CGlo_PluginTestAccess::setSender(probe, &keysOnly);
    const struct {
        int deflection, events, notches;
    } rows[] = {{350, 100, 10}, {-350, 100, 10}, {205, 100, 6}, {30, 100, 1}, {30, 201, 3}};
    for (const auto& row : rows) {
        g_notches = 0;
        for (int i = 0; i < row.events; ++i)
            probe.zoomOutIn(motion(row.deflection));
        probe.zoomOutIn(kZero);
        EXPECT_EQ(g_notches.load(), row.notches) << row.deflection << " x " << row.events;
    }
}

namespace {

// Zoom on y and an idle function on x, run by the plug-in's worker.
class ZoomPlugin : public Probe {
public:
    ZoomPlugin() {
        current = this;
        CGlo_PluginTestAccess::setSender(*this, &keysOnly);
        static CGlo_PluginFunction functions[] = {
            {L"Zoom", GLO_OneAxisFunction, &zoom, 21, 21, 22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
            {L"Idle", GLO_OneAxisFunction, &idle, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
        static CGlo_FunctionSetup setups[] = {
            {L"Zoom", GLO_MotionEvent, 1, 1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0},
            {L"Idle", GLO_MotionEvent, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0}};
        setFunctions(functions, sizeof(functions));
        setConfiguration(setups, sizeof(setups));
    }
    ~ZoomPlugin() override {
        stopWorkerThread(); // its last zero event still finds the object
        current = nullptr;
    }
    void send(int x, int y) {
        CGlo_Event event(x, y, 0, 0, 0, 0, -1, 0);
        sendevent(event);
    }

private:
    static void zoom(const CGlo_Event& event) { current->zoomInOut(event); }
    static void idle(const CGlo_Event&) {}
    static ZoomPlugin* current;
};
ZoomPlugin* ZoomPlugin::current = nullptr;

} // namespace

// The gesture's Ctrl goes up when the cap comes to rest, when another function takes over, when
// events stop coming and when the application goes; a Ctrl the user holds on both sides is
// neither pressed nor released. A release the system refuses is made before the next event, or
// when the application goes.
TEST(Zoom, TheGesturesCtrlGoesUpOnEveryWayOut) {
    enum Way { Rest, TakeOver, Silence, Stop, Refused, RefusedThenStop };
    for (const int held : {int(None), LCtrl | RCtrl})
        for (const Way way : {Rest, TakeOver, Silence, Stop, Refused, RefusedThenStop}) {
            if (held != None && way >= Refused)
                continue;
            SCOPED_TRACE(std::to_string(held) + " way " + std::to_string(way));
            hold(held, false);
            g_keys = g_notches = 0;
            auto plugin = std::make_unique<ZoomPlugin>();
            EXPECT_TRUE(eventually([&plugin] { // the events keep coming until the gesture runs
                plugin->send(0, 200);
                return g_notches > 0 && isDown(VK_LCONTROL);
            }));
            g_refuseCtrlUp = way >= Refused;
            if (way == Rest || way >= Refused)
                plugin->send(0, 0);
            if (way == TakeOver)
                plugin->send(200, 0);
            if (way >= Refused) {
                pump(100);
                EXPECT_TRUE(isDown(VK_LCONTROL)) << "owed";
                g_refuseCtrlUp = false;
                if (way == Refused)
                    plugin->send(200, 0);
            }
            if (way == Stop || way == RefusedThenStop)
                plugin.reset();
            EXPECT_TRUE(eventually([held] { return heldNow() == held; }, 1000));
            pump(50);
            EXPECT_EQ(heldNow(), held);
            EXPECT_EQ(g_keys.load(), held == None ? 2 : 0);
            hold(held, true);
        }
}
