#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

#include "GloEventMultiplexer.h"
#include "bench/HeapCallCounter.h"

namespace {

void noop(const CGlo_Event&) {}

// Sums of squares beyond 32 bits used to wrap: the length must stay the true (truncated)
// length, saturating only where it no longer fits an int.
TEST(Event, VectorLengthBeyondThirtyTwoBitSums) {
    struct Case {
        int a0, a1, a2, length;
    } cases[] = {
        {46341, 0, 0, 46341},
        {65536, 65536, 0, 92681},
        {300000, 400000, 0, 500000},
        {INT_MIN, 0, 0, INT_MAX},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
    };
    for (const Case& c : cases) {
        CGlo_Event e(c.a0, c.a1, c.a2, 0, 0, 0, -1, 0);
        EXPECT_TRUE(e.isMotionEvent()) << c.a0;
        EXPECT_EQ(e.getVectorLength(), c.length) << c.a0 << " " << c.a1 << " " << c.a2;
    }
    CGlo_Event big(300000, 400000, 0, 0, 0, 0, -1, 0);
    big.setVectorLength(100000); // the products must not wrap either
    EXPECT_EQ(big.getAxis(0), 60000);
    EXPECT_EQ(big.getAxis(1), 80000);
    EXPECT_EQ(CGlo_Event(INT_MIN, 0, 0, 0, 0, 0, -1, 0).getDominantAxisVectorLength(), INT_MAX);
}

TEST(FunctionNames, AreCutTo31CharactersByEveryConstructorAndAssignment) {
    for (const std::wstring& name : {std::wstring(40, L'x'), std::wstring(31, L'y')}) {
        const std::wstring want = name.substr(0, 31);
        const CGlo_PluginFunction f(name.c_str(), GLO_OneAxisFunction, &noop, 0, 0, 0, 0, 0, 0, 0,
                                    0, 0, 0, 0, 0, 0);
        EXPECT_EQ(f.getName(), want);
        EXPECT_EQ(CGlo_FunctionSetup(name.c_str(), GLO_NoEvent).getName(), want);
        EXPECT_EQ(CGlo_FunctionSetup(name.c_str(), GLO_ButtonEvent, 1, GLO_ButtonPress).getName(),
                  want);
        CGlo_FunctionSetup assigned(L"", GLO_NoEvent);
        assigned = f;
        EXPECT_EQ(assigned.getName(), want);
    }
}

CGlo_FunctionSetup motion(int axes, int a0, int p0, int a1, int p1, int threshold) {
    return CGlo_FunctionSetup(L"M", GLO_MotionEvent, axes, a0, a1, 0, 0, 0, 0, p0, p1, 0, 0, 0, 0,
                              threshold);
}

CGlo_FunctionSetup button(int number, int transition, const wchar_t* name = L"B") {
    return CGlo_FunctionSetup(name, GLO_ButtonEvent, number,
                              static_cast<GLO_ButtonEventType>(transition));
}

TEST(FunctionSetup, IsValid) {
    struct Case {
        const char* what;
        CGlo_FunctionSetup setup;
        bool valid;
    } cases[] = {
        {"trigger on axis 2", motion(0, 2, -1, 0, 0, 0), true},
        {"trigger without polarity", motion(0, 2, 0, 0, 1, 0), false},
        {"second polarity 0, two axes", motion(2, 0, 1, 1, 0, 0), false},
        {"second polarity 0, one axis", motion(1, 0, 1, 1, 0, 0), true},
        {"second device axis 6, two axes", motion(2, 0, 1, 6, 1, 0), false},
        {"device axis -1 (huge unsigned)", motion(1, -1, 1, 0, 1, 0), false},
        {"threshold 200", motion(1, 0, 1, 0, 1, 200), true},
        {"threshold 201", motion(1, 0, 1, 0, 1, 201), false},
        {"seven axes", motion(7, 0, 1, 0, 1, 0), false},
        {"negative axis count", motion(-1, 0, 1, 0, 1, 0), false},
        {"default handler, any", button(-2, 3), true},
        {"button 31 release", button(31, 1), true},
        {"button 32", button(32, 2), false},
        {"button -3", button(-3, 2), false},
        {"no transition", button(1, 0), false},
        {"transition 4", button(1, 4), false},
        {"empty name", button(1, 2, L""), false},
        {"no event type", CGlo_FunctionSetup(L"N", GLO_NoEvent, 1, GLO_ButtonPress), false},
        {"button setup without a button", button(-1, 2), false},
        {"motion setup with a button",
         CGlo_FunctionSetup(L"M", GLO_MotionEvent, 3, GLO_ButtonPress), false},
    };
    for (Case& c : cases)
        EXPECT_EQ(c.setup.IsValid(), c.valid) << c.what;
}

CGlo_PluginFunction fn(const wchar_t* name, GLO_FunctionType type) {
    return CGlo_PluginFunction(name, type, &noop, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

// A setup that held a button takes a motion function (as a configuration built from the function
// list does): a motion setup keeps no button, or it is never chosen and a save leaves it out. A
// button or trigger function keeps the button.
TEST(FunctionSetup, AMotionFunctionOnAFormerButtonSetupIsSavedAndLoaded) {
    CGlo_FunctionSetup setup = button(3, GLO_ButtonPress, L"Key");
    setup = fn(L"Pan", GLO_TwoAxisFunction);
    setup.setPolarity(0, -1);
    setup.setAxis(1, 4);
    setup.setPolarity(1, 1);
    EXPECT_FALSE(setup.isButton()); // what the save asks
    EXPECT_TRUE(setup.IsValid());
    std::ostringstream saved;
    setup.serialize(saved);
    std::istringstream in(saved.str());
    CGlo_FunctionSetup loaded(L"", GLO_NoEvent);
    loaded.deserialize(in); // what stands before the first record
    loaded.deserialize(in);
    EXPECT_TRUE(loaded.IsValid());
    EXPECT_EQ(std::wstring(loaded.getName()), L"Pan");
    EXPECT_EQ(loaded.getEventType(), GLO_MotionEvent);
    EXPECT_TRUE(loaded.getAxis(1) == 4 && loaded.getPolarity(0) == -1);

    for (GLO_FunctionType type : {GLO_ButtonFunction, GLO_TriggerFunction}) {
        CGlo_FunctionSetup kept = button(5, GLO_ButtonRelease);
        kept = fn(L"Copy", type);
        EXPECT_TRUE(kept.isButton() && kept.IsValid()) << type;
    }
}

// Axis count 0 makes a one-shot setup.
CGlo_FunctionSetup axis(const wchar_t* name, int axes, int deviceAxis, int polarity) {
    return CGlo_FunctionSetup(name, GLO_MotionEvent, axes, deviceAxis, 0, 0, 0, 0, 0, polarity, 1,
                              1, 1, 1, 1, 0);
}

CGlo_Event m(int x, int y, int z, int a, int b, int c) {
    return CGlo_Event(x, y, z, a, b, c, -1, 0);
}

CGlo_Event b(int number, int state) {
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
        add(axis(L"Scroll", 1, 2, 1), scroll);
        add(axis(L"Zoom", 1, 4, 1), zoom);
        add(axis(L"NextPage", 0, 0, 1), next);
        add(axis(L"PrevPage", 0, 0, -1), prev);
        add(CGlo_FunctionSetup(L"Key3", GLO_ButtonEvent, 3, GLO_ButtonPress), key);
        add(CGlo_FunctionSetup(L"AnyButton", GLO_ButtonEvent, -2, GLO_AnyButtonEvent), any);
    }
    void add(CGlo_FunctionSetup setup, CGlo_PluginFunction& f) { mux.addConnection(setup, &f); }
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
        {"weak push from rest is ambiguous", m(0, 0, 40, 0, 0, 0), nullptr, none},
        {"clear push starts scrolling", m(0, 0, 120, 0, 0, 0), &app.scroll, m(72, 0, 0, 0, 0, 0)},
        {"running function holds below the bar", m(0, 0, 50, 0, 0, 0), &app.scroll,
         m(1, 0, 0, 0, 0, 0)},
        {"held just above release", m(0, 0, 46, 0, 0, 0), &app.scroll, m(1, 0, 0, 0, 0, 0)},
        {"released at 45", m(0, 0, 45, 0, 0, 0), nullptr, none},
        {"scrolling again", m(0, 0, 100, 0, 0, 0), &app.scroll, m(48, 0, 0, 0, 0, 0)},
        {"competitor within a third is ambiguous", m(110, 0, 100, 0, 0, 0), nullptr, none},
        {"priority axis takes over", m(0, 0, 100, 0, -110, 0), &app.zoom, m(-60, 0, 0, 0, 0, 0)},
        {"mainly off the function's axes", m(0, 0, 30, 0, -50, 200), nullptr, none},
        {"priority axis restarts early", m(0, 0, 0, 0, -40, 0), &app.zoom, m(-1, 0, 0, 0, 0, 0)},
        {"priority axis at rest", m(0, 0, 0, 0, -20, 0), nullptr, none},
        {"priority choice not ambiguous", m(190, 0, 0, 0, -200, 0), &app.zoom,
         m(-168, 0, 0, 0, 0, 0)},
        {"one-shot fires", m(150, 0, 0, 0, 0, 0), &app.next, m(108, 0, 0, 0, 0, 0)},
        {"one-shot held while pushed", m(200, 0, 0, 0, 0, 0), nullptr, none},
        {"held above release", m(46, 0, 0, 0, 0, 0), nullptr, none},
        {"released at 45", m(45, 0, 0, 0, 0, 0), nullptr, none},
        {"fires again after release", m(150, 0, 0, 0, 0, 0), &app.next, m(108, 0, 0, 0, 0, 0)},
        {"other direction", m(-150, 0, 0, 0, 0, 0), &app.prev, m(-108, 0, 0, 0, 0, 0)},
        {"specific button", b(3, 1), &app.key, b(3, 1)},
        {"other button: default handler", b(5, 1), &app.any, b(5, 1)},
        {"release the key setup ignores", b(3, 0), &app.any, b(3, 0)},
        {"empty event ends every hold", CGlo_Event(), nullptr, none},
        {"one-shot fires without rest", m(160, 0, 0, 0, 0, 0), &app.next, m(120, 0, 0, 0, 0, 0)},
    };
}

// Type, axes, length, button and state of an event, for comparing whole events.
std::string str(const CGlo_Event& e) {
    std::string s = std::to_string(e.getEventType()) + ":";
    for (int i = 0; i < 6; ++i)
        s += " " + std::to_string(e.getAxis(i));
    return s + " |" + std::to_string(e.getVectorLength()) + "| " + std::to_string(e.getButton()) +
           "/" + std::to_string(e.getButtonState());
}

// Name, type, axes, polarities and threshold of a motion setup.
std::string setupStr(const CGlo_FunctionSetup& f) {
    std::string s(f.getName(), f.getName() + wcslen(f.getName()));
    s += ":" + std::to_string(f.getEventType());
    for (int i = 0; i < 6; ++i)
        s += " " + std::to_string(f.getAxis(i)) + "/" + std::to_string(f.getPolarity(i));
    return s + " |" + std::to_string(f.getThreshold()) + "|";
}

void drive(CGlo_EventMultiplexer& mux, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        CGlo_Event e = s.in;
        const CGlo_PluginFunction* got = mux.getFunction(e);
        EXPECT_EQ(got, s.want) << s.what << ": got " << (got ? got->getName() : L"none");
        if (s.want != nullptr) {
            EXPECT_EQ(str(e), str(s.out)) << s.what;
        }
    }
}

// Selection runs per event: it must not allocate in the core.
TEST(Multiplexer, GestureThroughSeveralConnectionsAllocatingNothing) {
    ASSERT_GT(heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll")), 0);
    const LONG before = heap_call_counter::count();
    Application app; // building the table allocates: proves the counter sees the core
    const LONG selecting = heap_call_counter::count();
    ASSERT_GT(selecting, before);
    for (int round = 0; round < 3; ++round)
        drive(app.mux, gesture(app));
    EXPECT_EQ(heap_call_counter::count(), selecting);
}

// Setups are not validated when connected; mapping must stay inside the arrays: more than six
// axes are cut to six, device axes outside 0..5 read 0.
TEST(Multiplexer, OutOfRangeSetupsStayInBounds) {
    struct Case {
        CGlo_FunctionSetup setup;
        CGlo_Event in;
        int raw;
        CGlo_Event out;
    } cases[] = {
        {CGlo_FunctionSetup(L"F", GLO_MotionEvent, 12, 5, 4, 3, 2, 1, 0, 1, 1, 1, 1, 1, 1, 0),
         m(-1, -2, -3, -4, -5, -6), 9, m(-6, -5, -4, -3, -2, -1)},
        {axis(L"F", 1, 9, 1), m(7, 7, 7, 7, 7, 7), 0, CGlo_Event()},
        {CGlo_FunctionSetup(L"F", GLO_MotionEvent, 2, 9, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0),
         m(5, 0, 0, 0, 0, 0), 5, m(0, 5, 0, 0, 0, 0)},
        {axis(L"F", 0, 1000, 1), m(7, 7, 7, 7, 7, 7), 0, CGlo_Event()},
        {axis(L"F", -1, 0, 1), m(9, 9, 9, 9, 9, 9), 0, CGlo_Event()},
    };
    CGlo_PluginFunction f = fn(L"F", GLO_SixAxisFunction);
    CGlo_EventMultiplexer mux;
    for (Case& c : cases) {
        CGlo_EventConnection connection(c.setup);
        connection.setEventData(c.in);
        EXPECT_EQ(connection.getRawVectorLength(), c.raw) << str(c.in);
        EXPECT_EQ(str(connection), str(c.out)) << str(c.in);
        mux.addConnection(c.setup, &f);
        CGlo_Event e = c.in;
        mux.getFunction(e);
    }
}

// Growing the table moves it: a setup taken from the table itself must be copied before the old
// storage goes, and the selection must not keep pointing into it. Freed blocks are poisoned,
// since the heap would hand them back unchanged.
TEST(Multiplexer, TableGrowsPastItsCapacityFromItsOwnElements) {
    ASSERT_GT(heap_call_counter::install(GetModuleHandleW(L"Glo_core_proxy.dll")), 0);
    std::vector<CGlo_PluginFunction> functions;
    for (int i = 0; i < 8; ++i)
        functions.push_back(fn((L"F" + std::to_wstring(i)).c_str(), GLO_OneAxisFunction));
    CGlo_EventMultiplexer mux;
    std::vector<std::string> want;
    for (int i = 0; i < 8; ++i) { // F0..F5 on device axes 0..5, F6 and F7 inverted on 0 and 1
        CGlo_FunctionSetup setup = axis(functions[i].getName(), 1, i % 6, i < 6 ? 1 : -1);
        mux.addConnection(setup, &functions[i]);
        want.push_back(setupStr(setup));
    }
    CGlo_Event push = m(0, 0, 200, 0, 0, 0);
    ASSERT_EQ(mux.getFunction(push), &functions[2]);

    heap_call_counter::poisoning() = true;
    for (int i = 0; i < 9; ++i) { // growth at 8 and at 16
        mux.addConnection(*mux.getFunctionSetup(i), &functions[i % 8]);
        want.push_back(want[i]);
    }
    heap_call_counter::poisoning() = false;
    std::vector<std::string> table;
    for (int i = 0; i < mux.getNumberOfConnections(); ++i)
        table.push_back(setupStr(*mux.getFunctionSetup(i)));
    EXPECT_EQ(table, want);

    // The running function was forgotten with the old storage: a weak push does not hold it.
    CGlo_Event weak = m(0, 0, 50, 0, 0, 0);
    EXPECT_EQ(mux.getFunction(weak), nullptr);
    drive(mux, {{"F2 starts", m(0, 0, 200, 0, 0, 0), &functions[2], m(168, 0, 0, 0, 0, 0)},
                {"F2 holds", m(0, 0, 50, 0, 0, 0), &functions[2], m(1, 0, 0, 0, 0, 0)}});
}

// Near release a two-axis event scaled to length 1 truncates to nothing on every axis; the
// function must still get a motion: its strongest axis, 1 with that axis's sign.
TEST(Multiplexer, AChosenFunctionNeverReceivesAnEmptyEvent) {
    CGlo_PluginFunction pan = fn(L"Pan", GLO_TwoAxisFunction);
    CGlo_PluginFunction tilt = fn(L"Tilt", GLO_TwoAxisFunction);
    CGlo_PluginFunction fly = fn(L"Fly", GLO_SixAxisFunction);
    CGlo_EventMultiplexer mux;
    CGlo_FunctionSetup panSetup(L"Pan", GLO_MotionEvent, 2, 0, 2, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, 0);
    mux.addConnection(panSetup, &pan);
    drive(mux, {{"start", m(200, 0, 0, 0, 0, 0), &pan, m(168, 0, 0, 0, 0, 0)},
                {"equal axes: the first", m(35, 0, 35, 0, 0, 0), &pan, m(1, 0, 0, 0, 0, 0)},
                {"second axis, inverted", m(-30, 0, 40, 0, 0, 0), &pan, m(0, -1, 0, 0, 0, 0)},
                {"first axis negative", m(-40, 0, -30, 0, 0, 0), &pan, m(-1, 0, 0, 0, 0, 0)}});

    CGlo_FunctionSetup tiltSetup(L"Tilt", GLO_MotionEvent, 2, 3, 5, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0,
                                 20);
    CGlo_FunctionSetup flySetup(L"Fly", GLO_MotionEvent, 6, 0, 1, 2, 3, 4, 5, 1, 1, 1, 1, 1, 1, 0);
    mux.addConnection(tiltSetup, &tilt);
    mux.addConnection(flySetup, &fly);
    // Random gestures: drift toward a random deflection, now and then back to rest.
    unsigned seed = 12345;
    auto next = [&](int range) { return int((seed = seed * 1103515245u + 12345u) >> 8) % range; };
    int at[6] = {}, to[6] = {}, chosen = 0;
    for (int step = 0; step < 200000; ++step) {
        if (step % 40 == 0)
            for (int i = 0; i < 6; ++i)
                to[i] = next(8) == 0 ? 0 : next(401) - 200;
        for (int i = 0; i < 6; ++i)
            at[i] += (to[i] - at[i]) / 8 + next(9) - 4;
        CGlo_Event e = step % 500 == 0 ? CGlo_Event() : m(at[0], at[1], at[2], at[3], at[4], at[5]);
        const CGlo_Event raw = e;
        if (mux.getFunction(e) != nullptr && raw.isMotionEvent()) {
            ++chosen;
            ASSERT_TRUE(e.isMotionEvent() && e.getVectorLength() > 0) << step << " " << str(raw);
        }
    }
    EXPECT_GT(chosen, 10000);
}

// A copy has its own table and starts without a running function; neither the source's later
// changes nor its destruction reach it.
TEST(Multiplexer, CopiesKeepNoReferencesIntoTheSource) {
    Application app;
    CGlo_Event start = m(0, 0, 120, 0, 0, 0);
    ASSERT_EQ(app.mux.getFunction(start), &app.scroll);
    CGlo_EventMultiplexer* copy = new CGlo_EventMultiplexer(app.mux);
    Application other;
    other.mux = app.mux;
    other.mux = other.mux;
    app.mux.clear();
    for (CGlo_EventMultiplexer* mux : {copy, &other.mux}) {
        EXPECT_EQ(mux->getNumberOfConnections(), 6);
        CGlo_Event low = m(0, 0, 50, 0, 0, 0); // would continue a running function
        EXPECT_EQ(mux->getFunction(low), nullptr);
        drive(*mux, gesture(app));
    }
    delete copy;
}

} // namespace
