// Plug-in function: a named action of an application with its callback and the string-table
// identifiers that describe it in the configuration user interface.
#pragma once

#include <wchar.h>

#include "GloExport.h"
#include "GloEvent.h"

// Kind of a plug-in function. Stored as a 32-bit signed integer.
enum GLO_FunctionType : int {
    GLO_ButtonFunction = -1, // only a button triggers it
    GLO_TriggerFunction = 0, // one-shot: fires once per button press or axis deflection
    GLO_OneAxisFunction = 1, // continuous, driven by that many axes
    GLO_TwoAxisFunction = 2,
    GLO_ThreeAxisFunction = 3,
    GLO_FourAxisFunction = 4,
    GLO_FiveAxisFunction = 5,
    GLO_SixAxisFunction = 6
};

// The action; runs on the application's worker thread.
typedef void (*GLO_FunctionCallback)(const CGlo_Event&);

// Plug-in libraries build static arrays of these; field order is part of the interface.
class GLO_API CGlo_PluginFunction {
public:
    // The name is cut to 31 characters. axisNPositive/axisNNegative are the string
    // identifiers of the positive and negative direction of function axis N.
    CGlo_PluginFunction(const wchar_t* name, GLO_FunctionType type,
                        void (*function)(const CGlo_Event&), int descriptionId, int axis0Positive,
                        int axis0Negative, int axis1Positive, int axis1Negative, int axis2Positive,
                        int axis2Negative, int axis3Positive, int axis3Negative, int axis4Positive,
                        int axis4Negative, int axis5Positive, int axis5Negative);
    CGlo_PluginFunction(const CGlo_PluginFunction& other);
    CGlo_PluginFunction& operator=(const CGlo_PluginFunction& other);

    const wchar_t* getName() const;
    GLO_FunctionType getFunctionType() const;
    void (*getFunction() const)(const CGlo_Event&);
    // The function type for continuous functions (1..6), else 0.
    int getNumberOfAxes() const;

    // Loads the description from the core library's string table, or a text a plug-in
    // registered (GloPluginTexts.h), into buffer (capacity bufferBytes / 2 characters, cut to
    // fit) in the user's language; returns buffer. The buffer holds an empty string when the
    // text is missing; with no room for a character nothing is written.
    wchar_t* getFunctionCbDescription(wchar_t* buffer, int bufferBytes);
    // As above for one direction of function axis 0..5 (direction >= 0: positive); an empty
    // string for any other axis.
    wchar_t* getAxisCbDescription(wchar_t* buffer, int bufferBytes, int axis, int direction);

protected:
    wchar_t name[32];
    int descriptionId;
    int axisDescriptionIds[12]; // 2i: positive direction of axis i, 2i+1: negative
    GLO_FunctionType functionType;
    void (*function)(const CGlo_Event&);
};
