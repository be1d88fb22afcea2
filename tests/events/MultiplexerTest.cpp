#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "GloEventMultiplexer.h"
#include "bench/HeapCallCounter.h"

namespace {

void noop(const CGlo_Event&) {}

CGlo_PluginFunction fn(const wchar_t* name, GLO_FunctionType type) {
    return CGlo_PluginFunction(name, type, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

CGlo_FunctionSetup oneAxis(const wchar_t* name, int deviceAxis, int polarity, int threshold) {
    return CGlo_FunctionSetup(name, GLO_MotionEvent, 1, deviceAxis, 0, 0, 0, 0, 0, polarity, 1, 1,
                              1, 1, 1, threshold);
}

CGlo_FunctionSetup trigger(const wchar_t* name, int deviceAxis, int polarity) {
    return CGlo_FunctionSetup(name, GLO_MotionEvent, 0, deviceAxis, 0, 0, 0, 0, 0, polarity, 1, 1,
                              1, 1, 1, 0);
}

CGlo_Event motion(int x, int y, int z, int a, int b, int c) {
    return CGlo_Event(x, y, z, a, b, c, -1, 0);
}

CGlo_Event button(int number, int state) {
    return CGlo_Event(0, 0, 0, 0, 0, 0, number, state);
}

// An application's table: scrolling on z, zooming on b (a priority axis), page one-shots on
// both directions of x, a key on button 3 and a default handler for every button.
struct Application {
    CGlo_PluginFunction scroll = fn(L"Scroll", GLO_OneAxisFunction);
    CGlo_PluginFunction zoom = fn(L"Zoom", GLO_OneAxisFunction);
    CGlo_PluginFunction next = fn(L"NextPage", GLO_TriggerFunction);
    CGlo_PluginFunction prev = fn(L"PrevPage", GLO_TriggerFunction);
    CGlo_PluginFunction key = fn(L"Key3", GLO_ButtonFunction);
    CGlo_PluginFunction any = fn(L"AnyButton", GLO_ButtonFunction);
    CGlo_EventMultiplexer mux;

    Application() {
        CGlo_FunctionSetup setups[] = {
            oneAxis(L"Scroll", 2, 1, 0),
            oneAxis(L"Zoom", 4, 1, 0),
            trigger(L"NextPage", 0, 1),
            trigger(L"PrevPage", 0, -1),
            CGlo_FunctionSetup(L"Key3", GLO_ButtonEvent, 3, GLO_ButtonPress),
            CGlo_FunctionSetup(L"AnyButton", GLO_ButtonEvent, -2, GLO_AnyButtonEvent),
        };
        CGlo_PluginFunction* functions[] = {&scroll, &zoom, &next, &prev, &key, &any};
        for (int i = 0; i < 6; ++i)
            mux.addConnection(setups[i], functions[i]);
    }
};

struct Step {
    const char* what;
    CGlo_Event in;
    const CGlo_PluginFunction* want; // null: nothing runs
    CGlo_Event out;                  // what the chosen function receives
};

std::vector<Step> gesture(const Application& app) {
    const CGlo_Event none;
    return {
        {"weak push from rest is ambiguous", motion(0, 0, 40, 0, 0, 0), nullptr, none},
        {"clear push starts scrolling", motion(0, 0, 120, 0, 0, 0), &app.scroll,
         motion(72, 0, 0, 0, 0, 0)},
        {"running function holds below the bar", motion(0, 0, 50, 0, 0, 0), &app.scroll,
         motion(1, 0, 0, 0, 0, 0)},
        {"still held just above release", motion(0, 0, 46, 0, 0, 0), &app.scroll,
         motion(1, 0, 0, 0, 0, 0)},
        {"released at 45", motion(0, 0, 45, 0, 0, 0), nullptr, none},
        {"scrolling again", motion(0, 0, 100, 0, 0, 0), &app.scroll, motion(48, 0, 0, 0, 0, 0)},
        {"competitor within a third is ambiguous", motion(110, 0, 100, 0, 0, 0), nullptr, none},
        {"priority axis takes over within the margin", motion(0, 0, 100, 0, -110, 0), &app.zoom,
         motion(-60, 0, 0, 0, 0, 0)},
        {"motion mainly off the function's axes", motion(0, 0, 30, 0, -50, 200), nullptr, none},
        {"priority axis restarts early", motion(0, 0, 0, 0, -40, 0), &app.zoom,
         motion(-1, 0, 0, 0, 0, 0)},
        {"priority axis at rest", motion(0, 0, 0, 0, -20, 0), nullptr, none},
        {"a priority choice is not made ambiguous", motion(190, 0, 0, 0, -200, 0), &app.zoom,
         motion(-168, 0, 0, 0, 0, 0)},
        {"one-shot fires", motion(150, 0, 0, 0, 0, 0), &app.next, motion(108, 0, 0, 0, 0, 0)},
        {"one-shot held while pushed", motion(200, 0, 0, 0, 0, 0), nullptr, none},
        {"still held above release", motion(46, 0, 0, 0, 0, 0), nullptr, none},
        {"released at 45", motion(45, 0, 0, 0, 0, 0), nullptr, none},
        {"fires again after release", motion(150, 0, 0, 0, 0, 0), &app.next,
         motion(108, 0, 0, 0, 0, 0)},
        {"other direction fires its own one-shot", motion(-150, 0, 0, 0, 0, 0), &app.prev,
         motion(-108, 0, 0, 0, 0, 0)},
        {"back again fires the first", motion(150, 0, 0, 0, 0, 0), &app.next,
         motion(108, 0, 0, 0, 0, 0)},
        {"specific button", button(3, 1), &app.key, button(3, 1)},
        {"other button goes to the default handler", button(5, 1), &app.any, button(5, 1)},
        {"release the key setup ignores", button(3, 0), &app.any, button(3, 0)},
        {"empty event ends every hold", CGlo_Event(), nullptr, none},
        {"one-shot fires again without returning to rest", motion(160, 0, 0, 0, 0, 0), &app.next,
         motion(120, 0, 0, 0, 0, 0)},
    };
}

void expectSameEvent(const CGlo_Event& got, const CGlo_Event& want, const char* what) {
    EXPECT_EQ(got.getEventType(), want.getEventType()) << what;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(got.getAxis(i), want.getAxis(i)) << what << ", axis " << i;
    EXPECT_EQ(got.getVectorLength(), want.getVectorLength()) << what;
    EXPECT_EQ(got.getButton(), want.getButton()) << what;
    EXPECT_EQ(got.getButtonState(), want.getButtonState()) << what;
}

void drive(CGlo_EventMultiplexer& mux, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        CGlo_Event e = s.in;
        const CGlo_PluginFunction* got = mux.getFunction(e);
        EXPECT_EQ(got, s.want) << s.what << ": got " << (got ? got->getName() : L"none");
        if (s.want != nullptr)
            expectSameEvent(e, s.out, s.what);
    }
}

TEST(Multiplexer, GestureThroughSeveralConnections) {
    Application app;
    ASSERT_EQ(app.mux.getNumberOfConnections(), 6);
    drive(app.mux, gesture(app));
}

// One connection's mapping of raw device values into its function's axes.
TEST(Multiplexer, ConnectionMapping) {
    struct Case {
        const char* what;
        CGlo_FunctionSetup setup;
        CGlo_Event in;
        int raw;
        bool priority;
        CGlo_Event out;
    } cases[] = {
        {"dead zone rescales", oneAxis(L"F", 0, 1, 100), motion(200, 0, 0, 0, 0, 0), 200, false,
         motion(140, 0, 0, 0, 0, 0)},
        {"positive axis 1 cancels the dead zone", oneAxis(L"F", 1, 1, 100),
         motion(0, 200, 0, 0, 0, 0), 300, true, motion(280, 0, 0, 0, 0, 0)},
        {"negative axis 1 keeps it", oneAxis(L"F", 1, 1, 100), motion(0, -200, 0, 0, 0, 0), 200,
         false, motion(-140, 0, 0, 0, 0, 0)},
        {"polarity and axis order",
         CGlo_FunctionSetup(L"F", GLO_MotionEvent, 2, 2, 0, 0, 0, 0, 0, -1, 1, 1, 1, 1, 1, 0),
         motion(30, 0, 40, 0, 0, 0), 50, false, motion(-40, 30, 0, 0, 0, 0)},
        // Setups are not validated when connected; mapping must stay inside the arrays:
        // more than six axes are cut to six, device axes outside 0..5 read 0.
        {"twelve function axes",
         CGlo_FunctionSetup(L"F", GLO_MotionEvent, 12, 5, 4, 3, 2, 1, 0, 1, 1, 1, 1, 1, 1, 0),
         motion(-1, -2, -3, -4, -5, -6), 9, true, motion(-6, -5, -4, -3, -2, -1)},
        {"device axis 9", oneAxis(L"F", 9, 1, 0), motion(7, 7, 7, 7, 7, 7), 0, false, CGlo_Event()},
        {"device axis 9 beside a good one",
         CGlo_FunctionSetup(L"F", GLO_MotionEvent, 2, 9, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0),
         motion(5, 0, 0, 0, 0, 0), 5, false, motion(0, 5, 0, 0, 0, 0)},
        {"trigger on device axis 1000", trigger(L"F", 1000, 1), motion(7, 7, 7, 7, 7, 7), 0, false,
         CGlo_Event()},
        {"negative axis count",
         CGlo_FunctionSetup(L"F", GLO_MotionEvent, -1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0),
         motion(9, 9, 9, 9, 9, 9), 0, false, CGlo_Event()},
    };
    for (Case& c : cases) {
        CGlo_EventConnection connection(c.setup);
        connection.setEventData(c.in);
        EXPECT_EQ(connection.getRawVectorLength(), c.raw) << c.what;
        EXPECT_EQ(connection.isHighPriorityEvent(), c.priority) << c.what;
        expectSameEvent(connection, c.out, c.what);
    }
}

TEST(Multiplexer, ButtonSelection) {
    CGlo_PluginFunction first = fn(L"First", GLO_ButtonFunction);
    CGlo_PluginFunction second = fn(L"Second", GLO_ButtonFunction);
    CGlo_EventMultiplexer mux;
    CGlo_FunctionSetup a(L"First", GLO_ButtonEvent, -2, GLO_AnyButtonEvent);
    CGlo_FunctionSetup b(L"Second", GLO_ButtonEvent, -2, GLO_ButtonPress);
    mux.addConnection(a, &first);
    mux.addConnection(b, &second);
    CGlo_Event press = button(7, 1);
    EXPECT_EQ(mux.getFunction(press), &second); // the later default handler
    CGlo_Event release = button(7, 0);
    EXPECT_EQ(mux.getFunction(release), &first); // the later one only takes presses
}

TEST(Multiplexer, TableMaintenance) {
    CGlo_PluginFunction pan = fn(L"Pan", GLO_TwoAxisFunction);
    CGlo_FunctionSetup setup = oneAxis(L"Pan", 0, 1, 0);
    CGlo_FunctionSetup other = oneAxis(L"pan", 0, 1, 0); // names compare case-sensitively
    CGlo_EventMultiplexer mux;
    mux.addConnection(setup, nullptr);
    mux.addConnection(other, &pan);
    EXPECT_EQ(mux.getNumberOfConnections(), 0);
    mux.addConnection(setup, &pan);
    mux.addConnection(setup, &pan); // no duplicate check
    EXPECT_EQ(mux.getNumberOfConnections(), 2);
    EXPECT_EQ(mux.getFunctionSetup(-1), nullptr);
    EXPECT_EQ(mux.getFunctionSetup(2), nullptr);
    ASSERT_NE(mux.getFunctionSetup(1), nullptr);
    EXPECT_STREQ(mux.getFunctionSetup(1)->getName(), L"Pan");
    mux.clear();
    EXPECT_EQ(mux.getNumberOfConnections(), 0);
    CGlo_Event e = motion(200, 0, 0, 0, 0, 0);
    EXPECT_EQ(mux.getFunction(e), nullptr);
}

// A copy has its own table and starts without a running function; neither the source's
// later changes nor its destruction reach it. Growing a table moves it likewise.
TEST(Multiplexer, CopiesAndGrowthKeepNoReferencesIntoOldStorage) {
    Application app;
    CGlo_Event start = motion(0, 0, 120, 0, 0, 0);
    ASSERT_EQ(app.mux.getFunction(start), &app.scroll);

    CGlo_EventMultiplexer* copy = new CGlo_EventMultiplexer(app.mux);
    CGlo_EventMultiplexer assigned;
    CGlo_FunctionSetup stale = oneAxis(L"Zoom", 2, 1, 0);
    assigned.addConnection(stale, &app.zoom);
    CGlo_Event run = motion(0, 0, 120, 0, 0, 0);
    ASSERT_EQ(assigned.getFunction(run), &app.zoom);
    assigned = app.mux;
    assigned = assigned;
    app.mux.clear();

    for (CGlo_EventMultiplexer* m : {copy, &assigned}) {
        EXPECT_EQ(m->getNumberOfConnections(), 6);
        CGlo_Event low = motion(0, 0, 50, 0, 0, 0); // would continue a running function
        EXPECT_EQ(m->getFunction(low), nullptr);
        drive(*m, gesture(app));
    }
    delete copy;

    Application grown;
    CGlo_Event push = motion(0, 0, 120, 0, 0, 0);
    ASSERT_EQ(grown.mux.getFunction(push), &grown.scroll);
    CGlo_FunctionSetup extra = oneAxis(L"Zoom", 5, 1, 0);
    for (int i = 0; i < 20; ++i)
        grown.mux.addConnection(extra, &grown.zoom);
    CGlo_Event low = motion(0, 0, 50, 0, 0, 0);
    EXPECT_EQ(grown.mux.getFunction(low), nullptr);
}

TEST(Multiplexer, SelectionAllocatesNothingInTheCore) {
    HMODULE core = GetModuleHandleW(L"Glo_core_proxy.dll");
    ASSERT_NE(core, nullptr);
    ASSERT_GT(heap_call_counter::install(core), 0);

    const LONG before = heap_call_counter::count();
    Application app; // building the table allocates: proves the counter sees the core
    ASSERT_GT(heap_call_counter::count(), before);

    const std::vector<Step> steps = gesture(app);
    const LONG selecting = heap_call_counter::count();
    for (int round = 0; round < 10; ++round)
        for (const Step& s : steps) {
            CGlo_Event e = s.in;
            app.mux.getFunction(e);
        }
    EXPECT_EQ(heap_call_counter::count(), selecting);
}

} // namespace
