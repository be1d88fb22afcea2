#include "EventTarget.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace driver {

namespace {

// The core's own descent, so that the tool never finds another window than the core does.
WindowFromPointProc g_windowFromPoint = nullptr;

bool isUsable(HWND window) {
    return window && IsWindowVisible(window) && !IsIconic(window);
}

std::wstring className(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

// The keyboard focus of the thread that owns `window`.
HWND focusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return thread && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// The core matches the child under the cursor instead when it lies directly in the window.
HWND matchedWindow(HWND window) {
    HWND under = windowUnderCursor();
    return under && GetAncestor(under, GA_PARENT) == window ? under : window;
}

std::string utf8(const wchar_t* text) {
    char out[256] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

struct ClassSearch {
    const wchar_t* name;
    HWND found;
};

BOOL CALLBACK findControlProc(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ClassSearch*>(param);
    if (!IsWindowVisible(window) || _wcsicmp(className(window).c_str(), search->name) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK searchTopLevelProc(HWND window, LPARAM param) {
    if (IsWindowVisible(window))
        EnumChildWindows(window, findControlProc, param);
    return reinterpret_cast<ClassSearch*>(param)->found == nullptr;
}

} // namespace

void useWindowFromPoint(WindowFromPointProc proc) {
    g_windowFromPoint = proc;
}

HWND windowUnderCursor() {
    POINT cursor;
    if (g_windowFromPoint == nullptr || !GetCursorPos(&cursor))
        return nullptr;
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(0, &info) || !info.hwndActive)
        return nullptr;
    return g_windowFromPoint(info.hwndActive, cursor);
}

EventTarget TargetTracker::next(bool& changed) {
    changed = false;
    EventTarget target;
    HWND foreground = GetForegroundWindow();
    if (!isUsable(foreground)) {
        target.how = "no visible, restored window is in the foreground";
        return target;
    }
    target.foreground = foreground;
    if (foreground != cachedForeground || (cachedFocus && !isUsable(cachedFocus)))
        cachedFocus = nullptr;
    target.window = windowUnderCursor();
    target.how = "the window under the cursor";
    if (!target.window && cachedFocus) {
        target.window = cachedFocus;
        target.how = "the window found before (the cursor is over no child window now)";
    }
    if (!target.window && (target.window = focusOf(foreground)) != nullptr)
        target.how = "the keyboard focus of the foreground program (the cursor is over no child "
                     "window of it)";
    if (!target.window) {
        target.window = foreground;
        target.how = "the foreground window itself (no child window under the cursor, no "
                     "keyboard focus)";
    }
    target.given = matchedWindow(target.window);
    if (foreground == cachedForeground && target.window == cachedFocus)
        return target;
    cachedForeground = foreground;
    cachedFocus = target.window;
    changed = true;
    return target;
}

EventTarget currentTarget() {
    TargetTracker tracker;
    bool changed = false;
    return tracker.next(changed);
}

EventTarget targetOf(HWND window) {
    EventTarget target;
    target.foreground = GetAncestor(window, GA_ROOT);
    target.window = window;
    target.how = "the control named";
    if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) {
        HWND focus = focusOf(window);
        if (focus && GetAncestor(focus, GA_ROOT) == window) {
            target.window = focus;
            target.how = "the keyboard focus of the window named";
        } else {
            target.how = "the window named (it has no keyboard focus inside)";
        }
    }
    target.given = matchedWindow(target.window);
    return target;
}

HWND findWindowOfClass(const std::wstring& name) {
    ClassSearch search = {name.c_str(), nullptr};
    EnumWindows(findControlProc, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        EnumWindows(searchTopLevelProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string describe(HWND window) {
    if (!window)
        return "(none)";
    wchar_t title[64] = L"";
    InternalGetWindowText(window, title, 64); // no message to a program that may hang
    char text[400];
    std::snprintf(text, sizeof text, "0x%llx \"%s\"%s%s%s",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)),
                  utf8(className(window).c_str()).c_str(), title[0] ? " \"" : "",
                  utf8(title).c_str(), title[0] ? "\"" : "");
    return text;
}

} // namespace driver
