// The classes a plug-in's match() compares with, as the tools list them for an author.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The classes of `window` and of the windows above it, up to its top-level window.
inline std::vector<std::wstring> classesAbove(HWND window) {
    std::vector<std::wstring> classes;
    for (int depth = 0; window != nullptr && depth < 64; ++depth) {
        wchar_t name[256] = L"";
        if (GetClassNameW(window, name, 256) > 0)
            classes.push_back(name);
        if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD))
            break;
        window = GetParent(window);
    }
    return classes;
}
