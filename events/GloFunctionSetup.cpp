#include "GloFunctionSetup.h"

#include "GloPluginFunction.h"
#include "events/GloEventMath.h"
#include "events/GloNameCopy.h"

static_assert(sizeof(GLO_ButtonEventType) == 4, "GLO_ButtonEventType is 32-bit");
static_assert(sizeof(CGlo_FunctionSetup) == 180, "CGlo_FunctionSetup layout");

// abs(INT_MIN) does not exist; the largest threshold is as invalid as it.
static int absThreshold(int value) {
    return glo_events::clampToInt(glo_events::absWide(value));
}

CGlo_FunctionSetup::CGlo_FunctionSetup(const wchar_t* name, GLO_EventType eventType) {
    initObject();
    this->eventType = eventType;
    glo_events::copyName(this->name, name);
}

CGlo_FunctionSetup::CGlo_FunctionSetup(const wchar_t* name, GLO_EventType eventType,
                                       int numberOfAxes, int axis0, int axis1, int axis2, int axis3,
                                       int axis4, int axis5, int polarity0, int polarity1,
                                       int polarity2, int polarity3, int polarity4, int polarity5,
                                       int threshold) {
    initObject();
    glo_events::copyName(this->name, name);
    this->eventType = eventType;
    const int axes[6] = {axis0, axis1, axis2, axis3, axis4, axis5};
    const int polarities[6] = {polarity0, polarity1, polarity2, polarity3, polarity4, polarity5};
    for (int i = 0; i < 6; ++i) {
        axis[i] = static_cast<unsigned int>(axes[i]);
        polarity[i] = polarities[i];
    }
    this->threshold = absThreshold(threshold);
    this->numberOfAxes = numberOfAxes;
}

CGlo_FunctionSetup::CGlo_FunctionSetup(const wchar_t* name, GLO_EventType eventType, int button,
                                       GLO_ButtonEventType buttonEvent) {
    initObject();
    this->eventType = eventType;
    this->button = button;
    this->buttonEvent = buttonEvent;
    glo_events::copyName(this->name, name);
}

CGlo_FunctionSetup::CGlo_FunctionSetup(const CGlo_FunctionSetup& other) {
    *this = other;
}

CGlo_FunctionSetup& CGlo_FunctionSetup::operator=(const CGlo_FunctionSetup& other) {
    for (int i = 0; i < 32; ++i)
        name[i] = other.name[i];
    eventType = other.eventType;
    for (int i = 0; i < 6; ++i) {
        axis[i] = other.axis[i];
        polarity[i] = other.polarity[i];
        reserved0[i] = other.reserved0[i];
        reserved1[i] = other.reserved1[i];
    }
    threshold = other.threshold;
    button = other.button;
    buttonEvent = other.buttonEvent;
    numberOfAxes = other.numberOfAxes;
    return *this;
}

CGlo_FunctionSetup& CGlo_FunctionSetup::operator=(const CGlo_PluginFunction& function) {
    glo_events::copyName(name, function.getName());
    const int type = function.getFunctionType();
    if (type == GLO_ButtonFunction) {
        eventType = GLO_ButtonEvent;
        numberOfAxes = 0;
    } else if (type == GLO_TriggerFunction) {
        numberOfAxes = 0;
    } else if (type >= 1 && type <= 6) {
        // A former button setup keeps no button: a motion setup with one is never chosen.
        eventType = GLO_MotionEvent;
        numberOfAxes = type;
        button = -1;
        buttonEvent = GLO_NoButtonEvent;
    }
    return *this;
}

void CGlo_FunctionSetup::initObject() {
    for (int i = 0; i < 6; ++i) {
        axis[i] = 0;
        polarity[i] = 0;
        reserved0[i] = 0;
        reserved1[i] = 0;
    }
    buttonEvent = GLO_NoButtonEvent;
    button = -1;
    numberOfAxes = 0;
    threshold = 0;
}

bool CGlo_FunctionSetup::IsValid() {
    if (name[0] == L'\0')
        return false;
    // The multiplexer takes a setup with a button for a button setup and one without (-1) for
    // a motion setup: a setup whose button contradicts its type would never be chosen, and a
    // save would drop it.
    if (eventType == GLO_ButtonEvent)
        return button >= -2 && button <= 31 && button != -1 && buttonEvent >= GLO_ButtonRelease &&
               buttonEvent <= GLO_AnyButtonEvent;
    if (eventType != GLO_MotionEvent || button != -1)
        return false;
    if (numberOfAxes < 0 || numberOfAxes > 6)
        return false;
    // Axis 0 is checked even for a trigger (no axes): it names the trigger's device axis.
    const int used = numberOfAxes > 0 ? numberOfAxes : 1;
    for (int i = 0; i < used; ++i)
        if (axis[i] > 5u || (polarity[i] != 1 && polarity[i] != -1))
            return false;
    return threshold >= 0 && threshold <= 200;
}

const wchar_t* CGlo_FunctionSetup::getName() const {
    return name;
}

GLO_EventType CGlo_FunctionSetup::getEventType() const {
    return eventType;
}

int CGlo_FunctionSetup::getThreshold() const {
    return threshold;
}

int CGlo_FunctionSetup::getAxis(int i) const {
    return i >= 0 && i < 6 ? static_cast<int>(axis[i]) : 0;
}

int CGlo_FunctionSetup::getPolarity(int i) const {
    return i >= 0 && i < 6 ? polarity[i] : 1;
}

void CGlo_FunctionSetup::setAxis(int i, int value) {
    if (i >= 0 && i < 6)
        axis[i] = static_cast<unsigned int>(value);
}

void CGlo_FunctionSetup::setPolarity(int i, int value) {
    if (i >= 0 && i < 6)
        polarity[i] = value;
}

void CGlo_FunctionSetup::setThreshold(int value) {
    threshold = absThreshold(value);
}

bool CGlo_FunctionSetup::isButton() const {
    return button != -1;
}

bool CGlo_FunctionSetup::isDefaultButtonHandler() const {
    return button == -2;
}

GLO_ButtonEventType CGlo_FunctionSetup::buttonStateToEvent(int state) const {
    return state != 0 ? GLO_ButtonPress : GLO_ButtonRelease;
}
