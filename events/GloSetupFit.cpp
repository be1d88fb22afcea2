#include "events/GloSetupFit.h"

#include "log/GdrLog.h"

namespace glo_events {

namespace {

// The setup's fields without getters, read through member pointers (no object of this type).
struct Fields : CGlo_FunctionSetup {
    static int axisCountOf(const CGlo_FunctionSetup& s) { return s.*(&Fields::numberOfAxes); }
    static int buttonOf(const CGlo_FunctionSetup& s) { return s.*(&Fields::button); }
    static int transitionOf(const CGlo_FunctionSetup& s) { return s.*(&Fields::buttonEvent); }
};

const wchar_t* const kAxisNames[] = {L"x", L"y", L"z", L"a", L"b", L"c"};

const wchar_t* axisName(int axis) {
    return axis >= 0 && axis < 6 ? kAxisNames[axis] : L"?";
}

const wchar_t* transitionWord(int buttonEvent) {
    switch (buttonEvent) {
    case GLO_ButtonRelease:
        return L"release";
    case GLO_ButtonPress:
        return L"press";
    case GLO_AnyButtonEvent:
        return L"press and release";
    default:
        return L"no transition";
    }
}

// Appends `part` at `used`, cut to the buffer.
void append(wchar_t* text, int chars, int& used, const wchar_t* part) {
    for (int i = 0; part[i] != L'\0' && used < chars - 1; ++i)
        text[used++] = part[i];
    text[used] = L'\0';
}

} // namespace

void describeSetup(const CGlo_FunctionSetup& setup, wchar_t* text, int chars) {
    if (text == nullptr || chars < 1)
        return;
    text[0] = L'\0';
    if (setup.isButton()) {
        wchar_t button[16];
        gdrFormatLine(button, 15, L"button %d", Fields::buttonOf(setup));
        gdrFormatLine(text, static_cast<std::size_t>(chars - 1), L"%s on %s",
                      setup.isDefaultButtonHandler() ? L"any button" : button,
                      transitionWord(Fields::transitionOf(setup)));
        return;
    }
    const int count = Fields::axisCountOf(setup);
    int used = 0;
    wchar_t part[48];
    if (count == 0)
        gdrFormatLine(part, 47, L"motion in one direction:");
    else
        gdrFormatLine(part, 47, L"motion of %d ax%s:", count, count == 1 ? L"is" : L"es");
    append(text, chars, used, part);
    const int shown = count < 1 ? 1 : count > 6 ? 6 : count;
    for (int i = 0; i < shown; ++i) {
        gdrFormatLine(part, 47, L" %s%s", axisName(setup.getAxis(i)),
                      setup.getPolarity(i) < 0 ? L"-" : L"+");
        append(text, chars, used, part);
    }
    gdrFormatLine(part, 47, L", dead zone %d", setup.getThreshold());
    append(text, chars, used, part);
}

void describeKind(const CGlo_PluginFunction& function, wchar_t* text, int chars) {
    if (text == nullptr || chars < 1)
        return;
    const int type = function.getFunctionType();
    const std::size_t capacity = static_cast<std::size_t>(chars - 1);
    if (type == GLO_ButtonFunction)
        gdrFormatLine(text, capacity, L"button only");
    else if (type == GLO_TriggerFunction)
        gdrFormatLine(text, capacity, L"one-shot");
    else if (type >= GLO_OneAxisFunction && type <= GLO_SixAxisFunction)
        gdrFormatLine(text, capacity, L"continuous, %d ax%s", type, type == 1 ? L"is" : L"es");
    else
        gdrFormatLine(text, capacity, L"kind %d, which the core does not know", type);
}

bool setupMisfit(const CGlo_FunctionSetup& setup, const CGlo_PluginFunction& function,
                 wchar_t* text, int chars) {
    if (text == nullptr || chars < 1)
        return false;
    text[0] = L'\0';
    const std::size_t capacity = static_cast<std::size_t>(chars - 1);
    const int type = function.getFunctionType();
    const bool known = type >= GLO_ButtonFunction && type <= GLO_SixAxisFunction;
    if (setup.getEventType() == GLO_ButtonEvent) {
        if (type == GLO_ButtonFunction || type == GLO_TriggerFunction)
            return false;
        gdrFormatLine(text, capacity,
                      L"a button runs a continuous function once, with an event that holds no "
                      L"motion");
        return true;
    }
    if (setup.getEventType() != GLO_MotionEvent)
        return false; // never connected by the core's readers
    if (type == GLO_ButtonFunction) {
        gdrFormatLine(text, capacity,
                      L"a motion runs a function meant for a button only, again every 10 ms "
                      L"while the cap is deflected");
        return true;
    }
    if (!known) {
        gdrFormatLine(text, capacity,
                      L"the core runs a function of unknown kind as a continuous "
                      L"one");
        return true;
    }
    // A one-shot is fired by one direction; a continuous function takes `type` axes.
    const int takes = type == GLO_TriggerFunction ? 1 : type;
    const int feeds = Fields::axisCountOf(setup) < 1 ? 1 : Fields::axisCountOf(setup);
    if (feeds <= takes)
        return false;
    if (type == GLO_TriggerFunction)
        gdrFormatLine(text, capacity,
                      L"%d axes feed a one-shot, which one direction fires; it fires for a push "
                      L"along any of them",
                      feeds);
    else
        gdrFormatLine(text, capacity,
                      L"%d axes feed a function of %d ax%s; it never uses the values of the "
                      L"others",
                      feeds, takes, takes == 1 ? L"is" : L"es");
    return true;
}

} // namespace glo_events
