// Whether a connected setup fits the function it names: the axes it feeds and the kind of event
// it passes on must be ones the function can use. The multiplexer connects a setup all the same
// (a stored file is never refused for this); the host says so once when a plug-in loads.
#pragma once

#include "GloFunctionSetup.h"
#include "GloPluginFunction.h"

namespace glo_events {

// Why `setup` does not fit `function`, as a sentence ("2 axes feed a function of 1 axis: ..."),
// into `text` (`chars` characters with the terminator); false, with `text` empty, when it fits.
// A setup feeding fewer axes than the function takes fits: the dialog builds them one by one.
bool setupMisfit(const CGlo_FunctionSetup& setup, const CGlo_PluginFunction& function,
                 wchar_t* text, int chars);

// The setup as a user reads it: "motion of 2 axes: x+ z+, dead zone 0", "button 3 on press".
void describeSetup(const CGlo_FunctionSetup& setup, wchar_t* text, int chars);

// The function's kind: "button only", "one-shot", "continuous, 2 axes".
void describeKind(const CGlo_PluginFunction& function, wchar_t* text, int chars);

} // namespace glo_events
