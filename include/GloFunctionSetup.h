// Function setup: how the device drives one plug-in function (event type, device axes,
// polarities and dead zone for a motion; button and transition for a button).
#pragma once

#include <iosfwd>
#include <wchar.h>

#include "GloExport.h"
#include "GloEvent.h"

class CGlo_PluginFunction;
class CGdrConfigFile;

// Which button transition triggers a button setup. Stored as a 32-bit signed integer.
enum GLO_ButtonEventType : int {
    GLO_NoButtonEvent = 0, // nothing selected; such a setup is not valid
    GLO_ButtonRelease = 1,
    GLO_ButtonPress = 2,
    GLO_AnyButtonEvent = 3
};

// What the configuration file stores and the multiplexer turns into connections. Plug-in
// libraries build arrays of these; field order is part of the interface.
class GLO_API CGlo_FunctionSetup {
public:
    CGlo_FunctionSetup(const wchar_t* name, GLO_EventType eventType);
    // Motion setup: device axis axisN and sign polarityN feed function axis N; the threshold
    // is stored as its absolute value.
    CGlo_FunctionSetup(const wchar_t* name, GLO_EventType eventType, int numberOfAxes, int axis0,
                       int axis1, int axis2, int axis3, int axis4, int axis5, int polarity0,
                       int polarity1, int polarity2, int polarity3, int polarity4, int polarity5,
                       int threshold);
    // Button setup: button 0..31, or -2 for the default handler of any button.
    CGlo_FunctionSetup(const wchar_t* name, GLO_EventType eventType, int button,
                       GLO_ButtonEventType buttonEvent);
    CGlo_FunctionSetup(const CGlo_FunctionSetup& other);
    CGlo_FunctionSetup& operator=(const CGlo_FunctionSetup& other);
    // Takes the function's name and, from its type, the event type and number of axes; axes,
    // polarities and threshold stay. A motion function leaves no button (-1, no transition); a
    // button or trigger function keeps the button.
    CGlo_FunctionSetup& operator=(const CGlo_PluginFunction& function);

    bool IsValid();

    const wchar_t* getName() const;
    GLO_EventType getEventType() const;
    int getThreshold() const;
    // Device axis of function axis i (0..5), else 0.
    int getAxis(int i) const;
    // Polarity of function axis i (0..5), else 1.
    int getPolarity(int i) const;
    // Both ignore indexes outside 0..5.
    void setAxis(int i, int value);
    void setPolarity(int i, int value);
    // Stores the absolute value.
    void setThreshold(int value);
    bool isButton() const;
    bool isDefaultButtonHandler() const;

    // One record of the configuration file.
    void serialize(std::ostream& out);
    void deserialize(std::istream& in);
    // One record of the driver's configuration exchange.
    void serialize(CGdrConfigFile& configFile);
    void deserialize(CGdrConfigFile& configFile);

protected:
    GLO_ButtonEventType buttonStateToEvent(int state) const;

    wchar_t name[32];
    GLO_EventType eventType;
    unsigned int axis[6]; // device axis feeding function axis i
    int polarity[6];      // +1 or -1
    int threshold;        // dead zone 0..200
    int button;           // 0..31; -1: motion setup; -2: default button handler
    GLO_ButtonEventType buttonEvent;
    int reserved0[6];
    int reserved1[6];
    int numberOfAxes; // 0..6; 0: one-directional trigger on axis[0]

private:
    void initObject();
};
