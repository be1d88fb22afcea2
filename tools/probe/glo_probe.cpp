// Looks at a running program from outside, as a user would see it: which line is at the top of
// its text, where the caret is, what is selected in its tree or list, what the clipboard holds.
// The demo and scripts/try-plugin use it before and after replaying a gesture, and to put a
// program in front with the mouse cursor over its document.
//
//   glo_probe start [--items N] COMMAND...
//                            start a program, wait for its window, put it in front with the
//                            cursor over its view and print its top-level class; --items N
//                            fills an empty view (text, list, tree) with N numbered lines
//   glo_probe scroll         whether the window under the cursor can scroll: "yes", "no" or
//                            "unknown", its class and what was seen
//   glo_probe focus CLASS    bring the top-level window of CLASS to the front, cursor over its view
//   glo_probe state CLASS    one line: the view's class (the focused control when it is one),
//                            first visible line, caret line, selected item, clipboard text
//   glo_probe select CLASS N select line N of its text (counted from 1)
//   glo_probe close CLASS    ask the program to close
//   glo_probe rect CLASS ID  where the child with control ID lies on the screen (0: the window
//                            itself), as ImageMagick's WIDTHxHEIGHT+X+Y
#include <windows.h>
// (needs the types of windows.h)
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "ViewContent.h"

namespace {

// Controls whose state a user reads: text, tree, list.
const wchar_t* const kViews[] = {L"Edit",          L"RichEdit20W",   L"RICHEDIT50W",
                                 L"SysTreeView32", L"SysListView32", L"ListBox"};

struct Search {
    HWND found = nullptr;
};

bool isView(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    for (const wchar_t* view : kViews)
        if (_wcsicmp(name, view) == 0)
            return IsWindowVisible(window) != FALSE;
    return false;
}

BOOL CALLBACK findViewProc(HWND window, LPARAM param) {
    if (!isView(window))
        return TRUE;
    reinterpret_cast<Search*>(param)->found = window;
    return FALSE;
}

// The focused control of `top` when it is a view, else its first visible view in the order the
// program created its children.
HWND findView(HWND top) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(top, nullptr);
    if (thread && GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
        GetAncestor(info.hwndFocus, GA_ROOT) == top && isView(info.hwndFocus))
        return info.hwndFocus;
    Search search;
    EnumChildWindows(top, findViewProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ProcessWindow {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findProcessWindowProc(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ProcessWindow*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
        return TRUE;
    search->found = window;
    return FALSE;
}

// The window in front with the cursor over the middle of its view.
void bringForward(HWND top, HWND view) {
    SetForegroundWindow(top);
    SetFocus(view);
    RECT rect;
    GetWindowRect(view, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    Sleep(200);
}

// Starts `command` on its own (no handles of ours) and waits for its main window and view.
int start(const std::wstring& command, int lines) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    // Only the null device is handed down: a program holding our output would keep whoever
    // reads it waiting for as long as the program runs.
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        SetHandleInformation(GetStdHandle(which), HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION process = {};
    std::wstring line = command;
    const BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(nul);
    if (!started) {
        std::fprintf(stderr, "glo_probe: cannot start %ls (error %lu)\n", command.c_str(),
                     GetLastError());
        return 1;
    }
    WaitForInputIdle(process.hProcess, 15000);
    ProcessWindow search = {process.dwProcessId, nullptr};
    HWND view = nullptr;
    for (int attempt = 0; attempt < 300 && !view; ++attempt) {
        search.found = nullptr;
        EnumWindows(findProcessWindowProc, reinterpret_cast<LPARAM>(&search));
        view = search.found ? findView(search.found) : nullptr;
        if (!view)
            Sleep(50);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!search.found) {
        std::fprintf(stderr, "glo_probe: %ls shows no window\n", command.c_str());
        return 1;
    }
    if (view && lines > 0 && probe::fillView(view, lines))
        std::fprintf(stderr, "glo_probe: filled the empty view with %d lines\n", lines);
    bringForward(search.found, view ? view : search.found);
    wchar_t name[128] = L"";
    GetClassNameW(search.found, name, 128);
    std::printf("%ls\n", name);
    return 0;
}

std::wstring className(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::string clipboardText() {
    std::string text = "(empty)";
    for (int attempt = 0; attempt < 10 && !OpenClipboard(nullptr); ++attempt)
        Sleep(20);
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            char narrow[200] = "";
            WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
            text = narrow;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

void printState(HWND view) {
    const std::wstring name = className(view);
    std::printf("view %ls:", name.c_str());
    if (name == L"Edit" || name.find(L"RichEdit") == 0 || name.find(L"RICHEDIT") == 0) {
        DWORD start = 0, end = 0;
        SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        const LRESULT caretLine = SendMessageW(view, EM_LINEFROMCHAR, end, 0);
        std::printf(" first visible line %ld, caret line %ld, selection %lu-%lu",
                    static_cast<long>(SendMessageW(view, EM_GETFIRSTVISIBLELINE, 0, 0) + 1),
                    static_cast<long>(caretLine + 1), static_cast<unsigned long>(start),
                    static_cast<unsigned long>(end));
    } else if (name == L"SysListView32") {
        std::printf(
            " top item %ld, selected item %ld",
            static_cast<long>(SendMessageW(view, LVM_GETTOPINDEX, 0, 0)),
            static_cast<long>(SendMessageW(view, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)));
    } else if (name == L"ListBox") {
        std::printf(" top item %ld, selected item %ld",
                    static_cast<long>(SendMessageW(view, LB_GETTOPINDEX, 0, 0)),
                    static_cast<long>(SendMessageW(view, LB_GETCURSEL, 0, 0)));
    } else if (name == L"SysTreeView32") {
        // Item handles of another process can be compared, not read.
        std::printf(
            " selected item %p, first visible item %p",
            reinterpret_cast<void*>(SendMessageW(view, TVM_GETNEXTITEM, TVGN_CARET, 0)),
            reinterpret_cast<void*>(SendMessageW(view, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)));
    }
    std::printf(", clipboard \"%s\"\n", clipboardText().c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "scroll") == 0) {
        POINT cursor;
        GetCursorPos(&cursor);
        const HWND window = WindowFromPoint(cursor);
        if (!window) {
            std::puts("unknown (no window under the cursor)");
            return 0;
        }
        const probe::Scrollability can = probe::scrollability(window);
        std::printf("%s %ls: %s\n", can.answer, className(window).c_str(), can.seen.c_str());
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "start") == 0) {
        int first = 2, lines = 0;
        if ((std::strcmp(argv[2], "--items") == 0 || std::strcmp(argv[2], "--text") == 0) &&
            argc >= 5) {
            lines = std::atoi(argv[3]);
            first = 4;
        }
        // The program's own command line, as given.
        std::wstring command;
        for (int i = first; i < argc; ++i) {
            wchar_t word[1024];
            MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, word, 1024);
            const bool spaced = std::wcschr(word, L' ') != nullptr;
            command += (command.empty() ? L"" : L" ") + std::wstring(spaced ? L"\"" : L"") + word +
                       (spaced ? L"\"" : L"");
        }
        return start(command, lines);
    }
    const bool withNumber =
        argc >= 2 && (std::strcmp(argv[1], "select") == 0 || std::strcmp(argv[1], "rect") == 0);
    if (argc < 3 || withNumber != (argc == 4)) {
        std::fputs("usage: glo_probe focus|state|close TOPLEVEL-CLASS\n"
                   "       glo_probe select TOPLEVEL-CLASS LINE\n"
                   "       glo_probe rect TOPLEVEL-CLASS CONTROL-ID\n"
                   "       glo_probe start [--items N] COMMAND...\n"
                   "       glo_probe scroll\n",
                   stderr);
        return 2;
    }
    wchar_t topClass[128];
    MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, topClass, 128);
    // The program may still be starting (a cold Wine takes seconds): wait for its view.
    HWND top = nullptr, view = nullptr;
    for (int attempt = 0; attempt < 300 && !view; ++attempt) {
        top = FindWindowW(topClass, nullptr);
        view = top ? findView(top) : nullptr;
        if (!view)
            Sleep(50);
    }
    if (!view) {
        std::fprintf(stderr, "glo_probe: no window of class %s with a view\n", argv[2]);
        return 1;
    }
    if (std::strcmp(argv[1], "focus") == 0) {
        bringForward(top, view);
        std::printf("%s in front: %s\n", argv[2], GetForegroundWindow() == top ? "yes" : "no");
        return 0;
    }
    if (std::strcmp(argv[1], "select") == 0) {
        const WPARAM line = static_cast<WPARAM>(std::atoi(argv[3]) - 1);
        const LRESULT start = SendMessageW(view, EM_LINEINDEX, line, 0);
        const LRESULT length = SendMessageW(view, EM_LINELENGTH, start, 0);
        SendMessageW(view, EM_SETSEL, start, start + length);
        return start < 0 ? 1 : 0;
    }
    if (std::strcmp(argv[1], "rect") == 0) {
        const int id = std::atoi(argv[3]);
        const HWND window = id ? GetDlgItem(top, id) : top;
        RECT rect;
        if (!window || !GetWindowRect(window, &rect))
            return 1;
        std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
                    rect.top);
        return 0;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        PostMessageW(top, WM_CLOSE, 0, 0);
        return 0;
    }
    printState(view);
    return 0;
}
