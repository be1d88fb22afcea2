#include "GloEventMultiplexer.h"

#include "events/GloEventMath.h"

using glo_events::absWide;
using glo_events::clampToInt;
using glo_events::truncToInt;

static_assert(sizeof(CGlo_EventConnection) == 252, "CGlo_EventConnection layout");

// Full-scale deflection: a raw length of 350 maps to 350 whatever the dead zone.
static const int kFullScale = 350;

CGlo_EventConnection::CGlo_EventConnection(const wchar_t* name, GLO_EventType type)
    : CGlo_Event(), CGlo_FunctionSetup(name, type) {
    zeroEventData();
}

CGlo_EventConnection::CGlo_EventConnection(CGlo_FunctionSetup& setup)
    : CGlo_Event(), CGlo_FunctionSetup(setup) {
    zeroEventData();
}

CGlo_EventConnection::CGlo_EventConnection(CGlo_EventConnection& other)
    : CGlo_Event(other), CGlo_FunctionSetup(other) {
    for (int i = 0; i < 6; ++i)
        mappedAxes[i] = other.mappedAxes[i];
    rawVectorLength = other.rawVectorLength;
    highPriority = other.highPriority;
}

CGlo_EventConnection& CGlo_EventConnection::operator=(const CGlo_EventConnection& other) {
    CGlo_Event::operator=(other);
    CGlo_FunctionSetup::operator=(other);
    for (int i = 0; i < 6; ++i)
        mappedAxes[i] = other.mappedAxes[i];
    rawVectorLength = other.rawVectorLength;
    highPriority = other.highPriority;
    return *this;
}

CGlo_EventConnection& CGlo_EventConnection::operator=(const CGlo_FunctionSetup& setup) {
    CGlo_FunctionSetup::operator=(setup);
    zeroEventData();
    return *this;
}

void CGlo_EventConnection::zeroEventData() {
    rawVectorLength = 0;
    highPriority = false;
    for (int i = 0; i < 6; ++i)
        mappedAxes[i] = 0;
    CGlo_Event::zeroEventData();
}

int CGlo_EventConnection::getRawVectorLength() const {
    return rawVectorLength;
}

bool CGlo_EventConnection::isHighPriorityEvent() const {
    return highPriority;
}

void CGlo_EventConnection::setEventData(int a0, int a1, int a2, int a3, int a4, int a5, int button,
                                        int state) {
    CGlo_Event event(a0, a1, a2, a3, a4, a5, button, state);
    setEventData(event);
}

// Dead zone with rescaling: value * (raw - threshold) * 350 / ((350 - threshold) * raw).
static int rescale(int value, int raw, int threshold) {
    const double numerator = static_cast<double>(value) *
                             static_cast<double>(static_cast<long long>(raw) - threshold) *
                             static_cast<double>(kFullScale);
    const double divisor =
        static_cast<double>((static_cast<long long>(kFullScale) - threshold) * raw);
    return truncToInt(numerator / divisor);
}

void CGlo_EventConnection::setEventData(CGlo_Event& event) {
    zeroEventData();
    // Both bases have these fields; the setup's are meant throughout.
    const GLO_EventType setupType = CGlo_FunctionSetup::eventType;
    const unsigned int* const setupAxis = CGlo_FunctionSetup::axis;
    const int setupButton = CGlo_FunctionSetup::button;

    if (setupType == GLO_ButtonEvent) {
        if (!event.isButtonEvent())
            return;
        if (setupButton != -2 && event.getButton() != setupButton)
            return;
        if (buttonEvent == GLO_AnyButtonEvent ||
            buttonEvent == buttonStateToEvent(event.getButtonState()))
            CGlo_Event::setData(event.getButton(), event.getButtonState());
        return;
    }
    if (setupType != GLO_MotionEvent || !event.isMotionEvent())
        return;

    long long work[6];
    for (int i = 0; i < 6; ++i)
        work[i] = event.getAxis(i);
    int out[6] = {0, 0, 0, 0, 0, 0};

    if (numberOfAxes >= 1) {
        // Setups are not checked when they are connected: more than six function axes are
        // cut to six, and a function axis whose device axis lies outside 0..5 reads 0.
        const int used = numberOfAxes < 6 ? numberOfAxes : 6;
        for (int i = 0; i < used; ++i) {
            const unsigned int d = setupAxis[i];
            if (d > 5u)
                continue;
            if (d == 1 && work[1] > 0) {
                // Cancels the dead zone for this direction; repeated per use of the axis.
                work[1] += threshold;
                highPriority = true;
            } else if (d == 4) {
                highPriority = true;
            }
            mappedAxes[i] = clampToInt(work[d] * polarity[i]);
        }
        rawVectorLength = glo_events::vectorLength(mappedAxes, used);
        if (rawVectorLength > threshold)
            for (int i = 0; i < used; ++i)
                out[i] = rescale(mappedAxes[i], rawVectorLength, threshold);
    } else if (numberOfAxes == 0) {
        // One-directional trigger: only a deflection in the polarity's direction counts, and
        // it keeps its own sign. A device axis outside 0..5 never triggers.
        long long v = setupAxis[0] <= 5u ? work[setupAxis[0]] : 0;
        if (v * polarity[0] <= 0)
            v = 0;
        mappedAxes[0] = clampToInt(v);
        rawVectorLength = clampToInt(absWide(mappedAxes[0]));
        if (rawVectorLength > threshold)
            out[0] = rescale(mappedAxes[0], rawVectorLength, threshold);
    }
    CGlo_Event::setData(out);
}
