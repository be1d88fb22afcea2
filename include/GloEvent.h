// Device event: the value type in which motion samples and button changes travel from the
// driver through the multiplexer into plug-in functions.
#pragma once

#include "GloExport.h"

// Kind of an event. Stored as a 32-bit signed integer; plug-ins rely on the values.
enum GLO_EventType : int {
    GLO_NoEvent = 0,     // nothing, or a motion whose vector length is 0
    GLO_ButtonEvent = 1, // a button changed state
    GLO_MotionEvent = 2  // a motion sample with a non-zero vector
};

// A motion sample (six axis values: x, y, z translations, then a, b, c rotations), a button
// change, or nothing. Copied by value everywhere; the layout is part of the plug-in interface.
class GLO_API CGlo_Event {
public:
    // The cleared event.
    CGlo_Event();
    // Six axis values, button and state; a button other than -1 makes a button event.
    CGlo_Event(int a0, int a1, int a2, int a3, int a4, int a5, int button, int state);
    CGlo_Event(const CGlo_Event& other);
    CGlo_Event& operator=(const CGlo_Event& other);

    GLO_EventType getEventType() const;
    // Axis value i (0..5); 0 for any other index.
    int getAxis(int i) const;
    int getButton() const;
    int getButtonState() const;
    int getVectorLength() const;
    // Copies the six axis values into out[0..5] and returns out.
    int* getMotionData(int* const out) const;
    // Index of the axis with the greatest absolute value; ties go to the lowest index.
    int getDominantAxis() const;
    int getDominantAxisVectorLength() const;

    bool isZeroEvent() const;
    bool isButtonEvent() const;
    bool isButtonPressEvent() const;
    bool isButtonReleaseEvent() const;
    bool isMotionEvent() const;
    // True when the event carries no motion (no event or a button event).
    bool isZeroMotionEvent() const;
    // The driver's registration sample: a motion of exactly (1, 0, 0, 0, 0, 0).
    bool isRegisterEvent() const;

    // Button event, or the empty event for button -1 (then the state is kept).
    void setData(int button, int state);
    // Button event when button is not -1, else a motion event from the six values.
    void setData(int a0, int a1, int a2, int a3, int a4, int a5, int button, int state);
    // Motion event from values[0..5].
    void setData(int* const values);
    // Rescales the motion vector to the given length (0 clears it).
    void setVectorLength(int length);
    // Exchanges two axis values (0..5; other indexes are ignored); length and type stay.
    void swapAxes(int i, int j);
    void zeroEventData();

protected:
    GLO_EventType eventType;
    int axis[6];
    int button;
    int buttonState;
    int vectorLength;
};
