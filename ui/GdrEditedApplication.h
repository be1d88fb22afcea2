// One loaded application as the configuration dialog shows and edits it: copies of its function
// table and of its setups, so that showing and editing never call into the plug-in, and what the
// cap's directions do with them.
#pragma once

#include <windows.h>

#include "GloFunctionSetup.h"
#include "GloPluginFunction.h"

#include <algorithm>
#include <string>
#include <vector>

class CGlo_Application;

namespace glo_ui {

// A setup as the dialog shows and edits it: the fields the plug-in interface keeps to itself.
// Adds no data, so a copy of it as a plain setup is the same setup.
class CGdrEditableSetup : public CGlo_FunctionSetup {
public:
    using CGlo_FunctionSetup::CGlo_FunctionSetup;
    explicit CGdrEditableSetup(const CGlo_FunctionSetup& setup) : CGlo_FunctionSetup(setup) {}
    int axisCount() const { return numberOfAxes; }
    void setAxisCount(int count) { numberOfAxes = count; }
    int buttonNumber() const { return button; }
    GLO_ButtonEventType transition() const { return buttonEvent; }
    // Function axes of a motion setup; a one-shot has one, its own direction.
    int slots() const { return numberOfAxes > 0 ? std::min(numberOfAxes, 6) : 1; }
    // Whether a push in `direction` reaches the setup: both ways of every axis it uses, or the one
    // way of a one-shot.
    bool feeds(int direction) const;
};

// Buttons a key combination can be put on.
const int kGdrButtons = 32;

class CGdrEditedApplication {
public:
    // Dead zone of a setup made by an assignment: a little above the multiplexer's own.
    static constexpr int kDefaultThreshold = 30;

    CGlo_Application* object = nullptr; // the plug-in's; only valid while the host's table stays
    unsigned loadGeneration = 0;        // the host's, telling one load of it from the next
    std::wstring name;
    std::vector<CGlo_PluginFunction> functions;
    std::vector<CGdrEditableSetup> setups;
    bool dirty = false;
    bool expanded = false;
    // The user's speed of its own (thousandths), as edited; kept apart from the setups, which
    // go to the plug-in, while the speed goes to the user settings.
    int speed = 1000;
    bool speedDirty = false;
    // The user's key combinations on the buttons, as edited (0: the button keeps the plug-in's
    // function), kept in the user settings like the speed.
    struct Keys {
        unsigned modifiers = 0, key = 0;
    };
    Keys keys[kGdrButtons];
    bool keysDirty = false;

    int findFunction(const wchar_t* functionName) const;
    // A button function cannot be put on a direction.
    bool takesDirections(int function) const;
    // Builds or extends a setup of `function` for `direction`: a direction of an axis the function
    // uses already only turns that axis. The setup changed, or -1.
    int assign(int function, int direction);
    // Turns function axis `slot` of a motion setup the other way; false when there is none.
    bool reverse(int setup, int slot);
    // Motion setups that a push in `direction` reaches: more than one is a conflict.
    int claims(int direction) const;
    // Whether a push in `direction` reaches a continuous function, which the speed acts on.
    bool continuousAt(int direction) const;
    // Where a push in `direction` starts to select one of the setups' functions from rest, in
    // thousandths of `fullScale` (may lie beyond it); -1 when no setup answers the direction.
    // Asks the core's own multiplexer, so that the dead zone, its rescaling and the
    // multiplexer's own threshold all count.
    int startLevel(int direction, int fullScale) const;

    // A setup the dialog shows: not the core's own connection of a key combination, nor a
    // button setup of the plug-in's whose button carries one.
    bool shows(const CGdrEditableSetup& setup) const;
    // Whether any button carries a key combination.
    bool hasKeys() const;

    std::wstring functionText(int function) const;
    std::wstring setupText(const CGdrEditableSetup& setup) const;
    // One function axis of a motion setup: the direction that drives it forward and what it does.
    std::wstring slotText(const CGdrEditableSetup& setup, int slot) const;
    // What a push in `direction` does: every function axis it drives, for the way it turns.
    std::wstring directionText(int direction) const;
    // The functions whose setups claim `direction`, by their descriptions.
    std::wstring claimants(int direction) const;

private:
    std::wstring description(int function) const;
    // What function axis `axis` does in `direction` (>= 0: its positive one).
    std::wstring axisText(int function, int axis, int direction) const;
};

// "x+", "b−": one direction of the cap.
std::wstring directionBadge(int axis, int polarity);

// The part of a direction text ("Line Scroll Up/Down") that names what the direction does
// ("Line Scroll Down"): the core's texts name both ways of a function, and which one a
// direction's text means is known for each of them. Any other text stays whole.
std::wstring directionHalf(int textId, const std::wstring& text);

// "Ctrl+S", "Shift+F5": a key combination by the names of the user's keyboard; "" for none.
std::wstring keysText(unsigned modifiers, unsigned key);

} // namespace glo_ui
