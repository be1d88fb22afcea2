#include "ui/GdrEditedApplication.h"

#include "GloEvent.h"
#include "GloEventMultiplexer.h"
#include "GloTextIds.h"
#include "GloUserSettings.h"
#include "functions/GloChord.h"
#include "resources/resource.h"
#include "runtime/GloUserKeys.h"
#include "ui/GdrConfigUi.h"
#include "ui/GdrTexts.h"

#include <cwchar>

namespace glo_ui {

namespace {

const wchar_t kAxisLetters[] = L"xyzabc";
const wchar_t kMinus[] = L"\x2212";

// Deflections beyond this are not probed: no cap reaches them.
const int kLongestPush = 1000;

// The direction texts whose first half names what the direction does: the wheel turns up for a
// push away, a zoom's text names first the way its positive direction zooms. In the others (the
// scrolling, panning, caret and arrow texts) the second half does: "Up/Down" is the text of
// the positive direction, which moves down.
const int kFirstHalf[] = {GLO_TEXT_MOUSE_WHEEL_UP_DOWN, GLO_TEXT_MOUSE_WHEEL_DOWN_UP,
                          GLO_TEXT_ZOOM_OBJECT_IN_OUT,  GLO_TEXT_ZOOM_OBJECT_OUT_IN,
                          GLO_TEXT_ZOOM_IN_OUT,         GLO_TEXT_ZOOM_OUT_IN,
                          GLO_TEXT_ZOOM_CALENDAR_IN_OUT};
const int kSecondHalf[] = {GLO_TEXT_PAN_UP_DOWN,
                           GLO_TEXT_PAN_LEFT_RIGHT,
                           GLO_TEXT_PAN_DOWN_UP,
                           GLO_TEXT_PAN_RIGHT_LEFT,
                           GLO_TEXT_LINE_SCROLL_UP_DOWN,
                           GLO_TEXT_LINE_SCROLL_LEFT_RIGHT,
                           GLO_TEXT_LINE_SCROLL_DOWN_UP,
                           GLO_TEXT_LINE_SCROLL_RIGHT_LEFT,
                           GLO_TEXT_PAN_OBJECT_UP_DOWN,
                           GLO_TEXT_PAN_OBJECT_LEFT_RIGHT,
                           GLO_TEXT_PAN_OBJECT_DOWN_UP,
                           GLO_TEXT_PAN_OBJECT_RIGHT_LEFT,
                           GLO_TEXT_ARROW_UP_DOWN,
                           GLO_TEXT_ARROW_DOWN_UP,
                           GLO_TEXT_CURSOR_LEFT_RIGHT,
                           GLO_TEXT_CURSOR_RIGHT_LEFT,
                           GLO_TEXT_CURSOR_UP_DOWN,
                           GLO_TEXT_CURSOR_DOWN_UP,
                           GLO_TEXT_ARROW_LEFT_RIGHT,
                           GLO_TEXT_ARROW_RIGHT_LEFT,
                           GLO_TEXT_SMOOTH_SCROLL_LEFT_RIGHT,
                           GLO_TEXT_SMOOTH_SCROLL_RIGHT_LEFT,
                           GLO_TEXT_SMOOTH_SCROLL_UP_DOWN,
                           GLO_TEXT_SMOOTH_SCROLL_DOWN_UP};

bool isIn(const int* ids, std::size_t count, int id) {
    return std::find(ids, ids + count, id) != ids + count;
}

// A function's direction text identifiers, which the interface keeps to itself.
class CTextIdsOf : public CGlo_PluginFunction {
public:
    explicit CTextIdsOf(const CGlo_PluginFunction& function) : CGlo_PluginFunction(function) {}
    int of(int axis, int direction) const {
        return axis >= 0 && axis < 6 ? axisDescriptionIds[2 * axis + (direction >= 0 ? 0 : 1)] : 0;
    }
};

} // namespace

std::wstring directionHalf(int textId, const std::wstring& text) {
    const bool first = isIn(kFirstHalf, sizeof(kFirstHalf) / sizeof(kFirstHalf[0]), textId);
    if (!first && !isIn(kSecondHalf, sizeof(kSecondHalf) / sizeof(kSecondHalf[0]), textId))
        return text;
    // "<prefix><left>/<right><suffix>", the two ways single words around the slash.
    const std::size_t slash = text.find(L'/');
    if (slash == std::wstring::npos || slash == 0 || slash + 1 == text.size())
        return text;
    const std::size_t space = text.rfind(L' ', slash);
    const std::size_t leftFrom = space == std::wstring::npos ? 0 : space + 1;
    const std::size_t rightTo = std::min(text.find(L' ', slash), text.size());
    return text.substr(0, leftFrom) +
           (first ? text.substr(leftFrom, slash - leftFrom)
                  : text.substr(slash + 1, rightTo - slash - 1)) +
           text.substr(rightTo);
}

std::wstring keysText(unsigned modifiers, unsigned key) {
    if (key == 0)
        return L"";
    std::wstring text;
    const struct {
        unsigned modifier;
        UINT name;
    } names[] = {
        {GLO_KeyCtrl, IDS_KEY_CTRL}, {GLO_KeyAlt, IDS_KEY_ALT}, {GLO_KeyShift, IDS_KEY_SHIFT}};
    for (const auto& m : names)
        if ((modifiers & m.modifier) != 0)
            text += loadText(m.name) + L"+";
    // The key's name on the user's keyboard, else its stored name.
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    const bool extended = glo_functions::isExtendedKey(key);
    wchar_t name[64] = L"";
    if (scan == 0 || GetKeyNameTextW(static_cast<LONG>(scan << 16 | (extended ? 1u << 24 : 0u)),
                                     name, 64) <= 0) {
        wchar_t stored[48] = L"";
        CGlo_UserSettings::formatKeys(0, key, stored, 48);
        return text + stored;
    }
    return text + name;
}

std::wstring directionBadge(int axis, int polarity) {
    std::wstring text(1, axis >= 0 && axis < 6 ? kAxisLetters[axis] : L'?');
    return text + (polarity < 0 ? kMinus : L"+");
}

bool CGdrEditableSetup::feeds(int direction) const {
    if (isButton() || getEventType() != GLO_MotionEvent)
        return false;
    const int axis = direction / 2;
    if (axisCount() == 0)
        return getAxis(0) == axis && getPolarity(0) == (direction % 2 ? -1 : 1);
    for (int i = 0; i < slots(); ++i)
        if (getAxis(i) == axis)
            return true;
    return false;
}

int CGdrEditedApplication::findFunction(const wchar_t* functionName) const {
    for (std::size_t f = 0; f < functions.size(); ++f)
        if (std::wcscmp(functions[f].getName(), functionName) == 0)
            return static_cast<int>(f);
    return -1;
}

bool CGdrEditedApplication::takesDirections(int function) const {
    if (function < 0 || function >= static_cast<int>(functions.size()))
        return false;
    const int type = functions[static_cast<std::size_t>(function)].getFunctionType();
    return type >= GLO_TriggerFunction && type <= GLO_SixAxisFunction;
}

int CGdrEditedApplication::assign(int functionIndex, int direction) {
    if (!takesDirections(functionIndex) || direction < 0 || direction >= kGdrDirections)
        return -1;
    const CGlo_PluginFunction& function = functions[static_cast<std::size_t>(functionIndex)];
    const int type = function.getFunctionType();
    const int axis = direction / 2;
    const int polarity = direction % 2 ? -1 : 1;
    auto isOwn = [&](const CGdrEditableSetup& setup) {
        return !setup.isButton() && setup.getEventType() == GLO_MotionEvent &&
               std::wcscmp(setup.getName(), function.getName()) == 0;
    };
    auto added = [&](int count) {
        setups.emplace_back(function.getName(), GLO_MotionEvent, count, axis, 0, 0, 0, 0, 0,
                            polarity, 1, 1, 1, 1, 1, kDefaultThreshold);
        return static_cast<int>(setups.size()) - 1;
    };
    if (type == GLO_TriggerFunction) {
        // One direction per setup; a direction already there adds nothing.
        for (std::size_t s = 0; s < setups.size(); ++s)
            if (isOwn(setups[s]) && setups[s].axisCount() == 0 && setups[s].getAxis(0) == axis &&
                setups[s].getPolarity(0) == polarity)
                return static_cast<int>(s);
        return added(0);
    }
    for (std::size_t s = 0; s < setups.size(); ++s) {
        CGdrEditableSetup& setup = setups[s];
        if (!isOwn(setup))
            continue;
        for (int i = 0; i < setup.axisCount() && i < 6; ++i)
            if (setup.getAxis(i) == axis) {
                setup.setPolarity(i, polarity);
                return static_cast<int>(s);
            }
    }
    // The next axis of a setup that does not drive all of the function's axes yet.
    for (std::size_t s = setups.size(); s-- > 0;) {
        CGdrEditableSetup& setup = setups[s];
        const int count = setup.axisCount();
        if (isOwn(setup) && count >= 1 && count < type) {
            setup.setAxis(count, axis);
            setup.setPolarity(count, polarity);
            setup.setAxisCount(count + 1);
            return static_cast<int>(s);
        }
    }
    return added(1);
}

bool CGdrEditedApplication::reverse(int setupIndex, int slot) {
    if (setupIndex < 0 || setupIndex >= static_cast<int>(setups.size()))
        return false;
    CGdrEditableSetup& setup = setups[static_cast<std::size_t>(setupIndex)];
    if (setup.isButton() || setup.getEventType() != GLO_MotionEvent || slot < 0 ||
        slot >= setup.slots())
        return false;
    setup.setPolarity(slot, setup.getPolarity(slot) < 0 ? 1 : -1);
    return true;
}

int CGdrEditedApplication::claims(int direction) const {
    int count = 0;
    for (const CGdrEditableSetup& setup : setups)
        if (setup.feeds(direction))
            ++count;
    return count;
}

bool CGdrEditedApplication::continuousAt(int direction) const {
    for (const CGdrEditableSetup& setup : setups) {
        const int function = findFunction(setup.getName());
        if (setup.feeds(direction) && function >= 0 &&
            functions[static_cast<std::size_t>(function)].getFunctionType() > GLO_TriggerFunction)
            return true;
    }
    return false;
}

int CGdrEditedApplication::startLevel(int direction, int fullScale) const {
    const int axis = direction / 2;
    const int sign = direction % 2 ? -1 : 1;
    int start = -1;
    for (const CGdrEditableSetup& setup : setups) {
        const int function = findFunction(setup.getName());
        if (!setup.feeds(direction) || function < 0)
            continue;
        CGlo_EventMultiplexer alone;
        CGlo_FunctionSetup copy(setup);
        CGlo_PluginFunction probe(functions[static_cast<std::size_t>(function)]);
        alone.addConnection(copy, &probe);
        // A push of `length` from rest, nothing else moving.
        auto selects = [&](int length) {
            CGlo_Event rest;
            alone.getFunction(rest);
            int values[6] = {0, 0, 0, 0, 0, 0};
            values[axis] = sign * length;
            CGlo_Event push(values[0], values[1], values[2], values[3], values[4], values[5], -1,
                            0);
            return alone.getFunction(push) != nullptr;
        };
        if (!selects(kLongestPush))
            continue;
        // Longer pushes select whenever shorter ones do.
        int below = 0, from = kLongestPush;
        while (from - below > 1) {
            const int middle = (below + from) / 2;
            (selects(middle) ? from : below) = middle;
        }
        const int level = from * 1000 / fullScale;
        start = start < 0 ? level : std::min(start, level);
    }
    return start;
}

bool CGdrEditedApplication::shows(const CGdrEditableSetup& setup) const {
    if (std::wcscmp(setup.getName(), glo_runtime::kUserKeysFunction) == 0)
        return false;
    const int button = setup.isButton() ? setup.buttonNumber() : -1;
    return !(button >= 0 && button < kGdrButtons && keys[button].key != 0);
}

bool CGdrEditedApplication::hasKeys() const {
    for (const Keys& k : keys)
        if (k.key != 0)
            return true;
    return false;
}

std::wstring CGdrEditedApplication::axisText(int function, int axis, int direction) const {
    CGlo_PluginFunction copy(functions[static_cast<std::size_t>(function)]);
    wchar_t text[128] = L"";
    copy.getAxisCbDescription(text, sizeof(text), axis, direction);
    return directionHalf(CTextIdsOf(copy).of(axis, direction), text);
}

std::wstring CGdrEditedApplication::description(int function) const {
    CGlo_PluginFunction copy(functions[static_cast<std::size_t>(function)]);
    wchar_t text[128] = L"";
    copy.getFunctionCbDescription(text, sizeof(text));
    return text[0] ? text : copy.getName();
}

std::wstring CGdrEditedApplication::functionText(int function) const {
    if (function < 0 || function >= static_cast<int>(functions.size()))
        return L"";
    const CGlo_PluginFunction& f = functions[static_cast<std::size_t>(function)];
    UINT kind = 0;
    switch (f.getFunctionType()) {
    case GLO_ButtonFunction:
        kind = IDS_BUTTON;
        break;
    case GLO_TriggerFunction:
        kind = IDS_ONE_SHOT;
        break;
    case GLO_OneAxisFunction:
        kind = IDS_LINE;
        break;
    case GLO_TwoAxisFunction:
        kind = IDS_PLANE;
        break;
    default:
        kind = f.getNumberOfAxes() >= 3 ? IDS_SPACE : 0;
        break;
    }
    const std::wstring text = description(function);
    return kind ? text + L" (" + loadText(kind) + L")" : text;
}

std::wstring CGdrEditedApplication::slotText(const CGdrEditableSetup& setup, int slot) const {
    std::wstring text = directionBadge(setup.getAxis(slot), setup.getPolarity(slot));
    const int function = findFunction(setup.getName());
    if (setup.axisCount() == 0 || function < 0)
        return text;
    const std::wstring does = axisText(function, slot, 1);
    return does.empty() ? text : text + L" " + does;
}

// For a motion the device direction that drives each function axis forward, for a button the
// button and its transition.
std::wstring CGdrEditedApplication::setupText(const CGdrEditableSetup& setup) const {
    if (setup.isButton()) {
        const std::wstring who =
            setup.isDefaultButtonHandler()
                ? loadText(IDS_ANY_BUTTON)
                : loadText(IDS_BUTTON) + L" " + std::to_wstring(setup.buttonNumber());
        UINT transition = 0;
        switch (setup.transition()) {
        case GLO_ButtonRelease:
            transition = IDS_BUTTON_RELEASE;
            break;
        case GLO_ButtonPress:
            transition = IDS_BUTTON_PRESS;
            break;
        case GLO_AnyButtonEvent:
            transition = IDS_BUTTON_ANY_EVENT;
            break;
        default:
            break;
        }
        return transition ? who + L": " + loadText(transition) : who;
    }
    std::wstring text;
    for (int i = 0; i < setup.slots(); ++i)
        text += (i ? L", " : L"") + slotText(setup, i);
    return text + L" (" + formatText(IDS_SETUP_THRESHOLD, setup.getThreshold()) + L")";
}

std::wstring CGdrEditedApplication::directionText(int direction) const {
    const int axis = direction / 2;
    const int sign = direction % 2 ? -1 : 1;
    std::wstring text;
    auto add = [&text](const std::wstring& part) {
        if (part.empty() || text.find(part) != std::wstring::npos)
            return;
        if (!text.empty())
            text += L"; ";
        text += part;
    };
    for (const CGdrEditableSetup& setup : setups) {
        const int function = findFunction(setup.getName());
        if (!setup.feeds(direction) || function < 0)
            continue;
        if (setup.axisCount() == 0) {
            add(description(function));
            continue;
        }
        for (int i = 0; i < setup.slots(); ++i) {
            if (setup.getAxis(i) != axis)
                continue;
            const int way = sign * setup.getPolarity(i);
            const std::wstring does = axisText(function, i, way);
            add(!does.empty() ? does : description(function) + (way < 0 ? kMinus : L"+"));
        }
    }
    return text;
}

std::wstring CGdrEditedApplication::claimants(int direction) const {
    std::wstring text;
    for (const CGdrEditableSetup& setup : setups) {
        const int function = findFunction(setup.getName());
        if (setup.feeds(direction) && function >= 0)
            text += (text.empty() ? L"" : L", ") + description(function);
    }
    return text;
}

} // namespace glo_ui
