#include "GloEvent.h"

#include "events/GloEventMath.h"

using glo_events::absWide;
using glo_events::clampToInt;

// Plug-ins build and read events in place: the layout must not change.
static_assert(sizeof(GLO_EventType) == 4, "GLO_EventType is 32-bit");
static_assert(sizeof(CGlo_Event) == 40, "CGlo_Event layout");

CGlo_Event::CGlo_Event() {
    zeroEventData();
}

CGlo_Event::CGlo_Event(int a0, int a1, int a2, int a3, int a4, int a5, int button, int state) {
    zeroEventData();
    setData(a0, a1, a2, a3, a4, a5, button, state);
}

CGlo_Event::CGlo_Event(const CGlo_Event& other) {
    *this = other;
}

CGlo_Event& CGlo_Event::operator=(const CGlo_Event& other) {
    eventType = other.eventType;
    for (int i = 0; i < 6; ++i)
        axis[i] = other.axis[i];
    button = other.button;
    buttonState = other.buttonState;
    vectorLength = other.vectorLength;
    return *this;
}

GLO_EventType CGlo_Event::getEventType() const {
    return eventType;
}

int CGlo_Event::getAxis(int i) const {
    return i >= 0 && i < 6 ? axis[i] : 0;
}

int CGlo_Event::getButton() const {
    return button;
}

int CGlo_Event::getButtonState() const {
    return buttonState;
}

int CGlo_Event::getVectorLength() const {
    return vectorLength;
}

int* CGlo_Event::getMotionData(int* const out) const {
    for (int i = 0; i < 6; ++i)
        out[i] = axis[i];
    return out;
}

int CGlo_Event::getDominantAxis() const {
    int index = 0;
    long long greatest = 0;
    for (int i = 0; i < 6; ++i) {
        const long long a = absWide(axis[i]);
        if (a > greatest) {
            greatest = a;
            index = i;
        }
    }
    return index;
}

int CGlo_Event::getDominantAxisVectorLength() const {
    return clampToInt(absWide(axis[getDominantAxis()]));
}

bool CGlo_Event::isZeroEvent() const {
    return eventType == GLO_NoEvent;
}

bool CGlo_Event::isButtonEvent() const {
    return eventType == GLO_ButtonEvent;
}

bool CGlo_Event::isButtonPressEvent() const {
    return isButtonEvent() && buttonState != 0;
}

bool CGlo_Event::isButtonReleaseEvent() const {
    return isButtonEvent() && buttonState == 0;
}

bool CGlo_Event::isMotionEvent() const {
    return eventType == GLO_MotionEvent;
}

bool CGlo_Event::isZeroMotionEvent() const {
    return eventType == GLO_NoEvent || eventType == GLO_ButtonEvent;
}

bool CGlo_Event::isRegisterEvent() const {
    return isMotionEvent() && axis[0] == 1 && axis[1] == 0 && axis[2] == 0 && axis[3] == 0 &&
           axis[4] == 0 && axis[5] == 0;
}

void CGlo_Event::setData(int newButton, int state) {
    for (int i = 0; i < 6; ++i)
        axis[i] = 0;
    vectorLength = 0;
    button = newButton;
    if (newButton == -1) {
        eventType = GLO_NoEvent;
    } else {
        eventType = GLO_ButtonEvent;
        buttonState = state;
    }
}

void CGlo_Event::setData(int a0, int a1, int a2, int a3, int a4, int a5, int newButton, int state) {
    button = newButton;
    if (newButton != -1) {
        buttonState = state;
        for (int i = 0; i < 6; ++i)
            axis[i] = 0;
        vectorLength = 0;
        eventType = GLO_ButtonEvent;
        return;
    }
    int values[6] = {a0, a1, a2, a3, a4, a5};
    setData(values);
}

void CGlo_Event::setData(int* const values) {
    button = -1;
    buttonState = 0;
    vectorLength = glo_events::vectorLength(values, 6);
    if (vectorLength != 0) {
        for (int i = 0; i < 6; ++i)
            axis[i] = values[i];
        eventType = GLO_MotionEvent;
    } else {
        for (int i = 0; i < 6; ++i)
            axis[i] = 0;
        eventType = GLO_NoEvent;
    }
}

void CGlo_Event::setVectorLength(int length) {
    if (length == 0) {
        for (int i = 0; i < 6; ++i)
            axis[i] = 0;
        eventType = GLO_NoEvent;
        vectorLength = 0;
        return;
    }
    if (vectorLength <= 0)
        return;
    // 64-bit product: a long vector scaled up must not wrap around.
    for (int i = 0; i < 6; ++i)
        axis[i] = clampToInt(static_cast<long long>(axis[i]) * length / vectorLength);
    vectorLength = glo_events::vectorLength(axis, 6);
    if (vectorLength == 0)
        eventType = GLO_NoEvent;
}

void CGlo_Event::swapAxes(int i, int j) {
    if (i < 0 || i > 5 || j < 0 || j > 5)
        return;
    const int t = axis[i];
    axis[i] = axis[j];
    axis[j] = t;
}

void CGlo_Event::zeroEventData() {
    eventType = GLO_NoEvent;
    for (int i = 0; i < 6; ++i)
        axis[i] = 0;
    button = -1;
    buttonState = 0;
    vectorLength = 0;
}
