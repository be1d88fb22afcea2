// The clipboard, Escape and page chords while the user holds Alt, in a program with a real menu
// bar on a thread of its own: the Alt the chord lets go of, and the one it gives back when the
// user lets go, must not open the menu, and the chord must reach the text.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/InputRecorder.h"
#include "tests/functions/PluginProbe.h"

using namespace glotest;

namespace {

const CGlo_Event kPress(0, 0, 0, 0, 0, 0, 2, 1);

// A frame with a menu bar around an "Edit" control that has the focus, like a small editor;
// the system's own procedures do the work. It notes each call of the menu by keyboard and every
// key message its thread takes, in its own loop or in the menu's.
class MenuBarEditor {
public:
    MenuBarEditor() : ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread = std::thread([this] { run(); });
        WaitForSingleObject(ready, 10000);
    }
    ~MenuBarEditor() {
        closeMenu();
        if (frame != nullptr)
            PostMessageW(frame, WM_CLOSE, 0, 0);
        thread.join();
        CloseHandle(ready);
    }
    MenuBarEditor(const MenuBarEditor&) = delete;
    MenuBarEditor& operator=(const MenuBarEditor&) = delete;

    // The window that owns the open menu, or null.
    HWND menuOwner() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(threadId, &info);
        return (info.flags & GUI_INMENUMODE) != 0 ? info.hwndMenuOwner : nullptr;
    }
    bool inMenu() const { return menuOwner() != nullptr; }
    void closeMenu() {
        for (int i = 0; i < 100 && inMenu(); ++i, Sleep(20))
            PostMessageW(menuOwner(), WM_CANCELMODE, 0, 0);
    }
    // Until the thread has taken `keys` key messages and handled what they started.
    bool settle(size_t keys) {
        for (int i = 0; i < 200 && size_t(keyMessages) < keys; ++i)
            Sleep(10);
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &answer);
        return size_t(keyMessages) >= keys;
    }
    void setText(const wchar_t* text, int selectedChars) {
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(edit, EM_SETSEL, 0, selectedChars);
    }
    std::wstring text() const {
        wchar_t text[64] = L"";
        SendMessageW(edit, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
        return text;
    }

    HWND frame = nullptr;
    HWND edit = nullptr;
    DWORD threadId = 0;
    std::atomic<int> keyMenus{0};
    std::atomic<long> keyMessages{0};

private:
    static MenuBarEditor* current;

    static LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU)
            ++current->keyMenus;
        if (message == WM_SETFOCUS && current->edit != nullptr)
            SetFocus(current->edit);
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static LRESULT CALLBACK taken(int code, WPARAM removed, LPARAM lParam) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (code == HC_ACTION && removed == PM_REMOVE &&
            (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP ||
             msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSKEYUP))
            ++current->keyMessages;
        return CallNextHookEx(nullptr, code, removed, lParam);
    }
    void run() {
        current = this;
        threadId = GetCurrentThreadId();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = frameProc;
        wc.lpszClassName = L"GloMenuBarEditor";
        RegisterClassW(&wc);
        HMENU bar = CreateMenu(), file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, 1, L"E&xit");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
        frame = CreateWindowExW(0, wc.lpszClassName, L"editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                60, 60, 400, 300, nullptr, bar, nullptr, nullptr);
        edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 300,
                               200, frame, nullptr, nullptr, nullptr);
        HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, taken, nullptr, threadId);
        SetFocus(edit);
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        UnhookWindowsHookEx(hook);
    }

    HANDLE ready;
    std::thread thread;
};
MenuBarEditor* MenuBarEditor::current = nullptr;

std::wstring clipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return L"(no clipboard)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void setClipboard(const std::wstring& text) {
    if (!OpenClipboard(nullptr))
        return;
    EmptyClipboard();
    if (!text.empty()) {
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        wcscpy(static_cast<wchar_t*>(GlobalLock(data)), text.c_str());
        GlobalUnlock(data);
        SetClipboardData(CF_UNICODETEXT, data);
    }
    CloseClipboard();
}

} // namespace

TEST(HeldAlt, ChordsReachTheTextAndNoMenuOpens) {
    MenuBarEditor editor;
    ASSERT_TRUE(bringToFront(editor.frame));
    InputRecorder input(false);
    ASSERT_TRUE(input.active());
    Probe probe;
    typedef void (CGlo_Plugin::*Function)(const CGlo_Event&);
    const struct {
        const char* name;
        Function function;
        const wchar_t* text;      // of the editor afterwards: "hello" was selected
        const wchar_t* clipboard; // afterwards; "XY" before
    } rows[] = {
        {"copy", &CGlo_Plugin::copy, L"hello world", L"hello"},
        {"cut", &CGlo_Plugin::cut, L" world", L"hello"},
        {"paste", &CGlo_Plugin::paste, L"XY world", L"XY"},
        {"escape", &CGlo_Plugin::escape, L"hello world", L"XY"},
        {"ctrlPageUp", &CGlo_Plugin::ctrlPageUp, L"hello world", L"XY"},
        {"ctrlPageDown", &CGlo_Plugin::ctrlPageDown, L"hello world", L"XY"},
    };
    for (const WORD alt : {VK_LMENU, VK_RMENU})
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) +
                         (alt == VK_LMENU ? " under Left Alt" : " under Right Alt"));
            editor.setText(L"hello world", 5);
            setClipboard(L"XY");
            input.clear();
            editor.keyMessages = 0;
            editor.keyMenus = 0;
            injectKey(alt, false);
            ASSERT_TRUE(editor.settle(1));
            (probe.*row.function)(kPress); // the hook has seen what it sent when it returns
            EXPECT_TRUE(editor.settle(input.events().size()));
            EXPECT_EQ(editor.keyMenus, 0);
            EXPECT_FALSE(editor.inMenu());
            EXPECT_TRUE(isDown(alt));
            EXPECT_EQ(editor.text(), row.text);
            EXPECT_EQ(clipboardText(), row.clipboard);
            // The user lets go of Alt.
            injectKey(alt, true);
            EXPECT_TRUE(editor.settle(input.events().size()));
            EXPECT_EQ(editor.keyMenus, 0) << "after the user let go";
            EXPECT_FALSE(editor.inMenu());
            editor.closeMenu();
        }
    for (const WORD key : kSideModifiers)
        EXPECT_FALSE(isDown(key));
}
