#include "ViewContent.h"

// (needs the types of windows.h)
#include <commctrl.h>

#include <cwchar>
#include <vector>

namespace probe {

namespace {

std::wstring className(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

bool isClass(HWND window, const wchar_t* name) {
    return _wcsicmp(className(window).c_str(), name) == 0;
}

bool isText(HWND window) {
    const std::wstring name = className(window);
    return _wcsicmp(name.c_str(), L"Edit") == 0 || _wcsnicmp(name.c_str(), L"RichEdit", 8) == 0;
}

// An answer within a second: a hung program answers nothing.
LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 1000, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

std::wstring line(int n) {
    return L"Line " + std::to_wstring(n) + L" of a text to move around in";
}

// Memory in the view's process: list and tree views read their items through pointers.
class RemoteMemory {
public:
    RemoteMemory(HWND window, SIZE_T bytes) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, id);
        if (process != nullptr)
            base = static_cast<BYTE*>(
                VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        size = base != nullptr ? bytes : 0;
    }
    ~RemoteMemory() {
        if (base != nullptr)
            VirtualFreeEx(process, base, 0, MEM_RELEASE);
        if (process != nullptr)
            CloseHandle(process);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool usable() const { return base != nullptr; }
    // Writes `bytes` at `offset`; the address there in the view's process, or null.
    void* put(SIZE_T offset, const void* data, SIZE_T bytes) {
        SIZE_T written = 0;
        if (offset + bytes > size ||
            !WriteProcessMemory(process, base + offset, data, bytes, &written) || written != bytes)
            return nullptr;
        return base + offset;
    }

private:
    HANDLE process = nullptr;
    BYTE* base = nullptr;
    SIZE_T size = 0;
};

const SIZE_T kRecord = 256; // room for the item record
const SIZE_T kText = 256;   // and for its text
const SIZE_T kBlock = kRecord + kText;

bool fillListView(HWND view, int count) {
    const LONG style = GetWindowLongW(view, GWL_STYLE);
    if ((style & LVS_OWNERDATA) || ask(view, LVM_GETITEMCOUNT) != 0)
        return false;
    RemoteMemory memory(view, kBlock);
    if (!memory.usable())
        return false;
    // A report view shows nothing without a column.
    const HWND header = reinterpret_cast<HWND>(ask(view, LVM_GETHEADER));
    if ((style & LVS_TYPEMASK) == LVS_REPORT &&
        (header == nullptr || ask(header, HDM_GETITEMCOUNT) == 0)) {
        const wchar_t title[] = L"Item";
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 240;
        column.pszText = static_cast<wchar_t*>(memory.put(kRecord, title, sizeof title));
        void* remote = memory.put(0, &column, sizeof column);
        if (column.pszText == nullptr || remote == nullptr)
            return false;
        ask(view, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(remote));
    }
    int added = 0;
    for (int n = 1; n <= count; ++n) {
        const std::wstring text = line(n);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = n - 1;
        item.pszText = static_cast<wchar_t*>(
            memory.put(kRecord, text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
        void* remote = memory.put(0, &item, sizeof item);
        if (item.pszText == nullptr || remote == nullptr)
            break;
        if (ask(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(remote)) >= 0)
            ++added;
    }
    return added > 0;
}

bool fillTreeView(HWND view, int count) {
    if (ask(view, TVM_GETCOUNT) != 0)
        return false;
    RemoteMemory memory(view, kBlock);
    if (!memory.usable())
        return false;
    int added = 0;
    for (int n = 1; n <= count; ++n) {
        const std::wstring text = line(n);
        TVINSERTSTRUCTW insert = {};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = static_cast<wchar_t*>(
            memory.put(kRecord, text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
        void* remote = memory.put(0, &insert, sizeof insert);
        if (insert.item.pszText == nullptr || remote == nullptr)
            break;
        if (ask(view, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(remote)) != 0)
            ++added;
    }
    return added > 0;
}

// The system carries a list box's strings to its process, but only where it keeps strings.
bool fillListBox(HWND view, int count) {
    const LONG style = GetWindowLongW(view, GWL_STYLE);
    const bool ownerDrawn = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
    if ((ownerDrawn && !(style & LBS_HASSTRINGS)) || ask(view, LB_GETCOUNT) != 0)
        return false;
    int added = 0;
    for (int n = 1; n <= count; ++n) {
        const std::wstring text = line(n);
        if (ask(view, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())) >= 0)
            ++added;
    }
    return added > 0;
}

bool fillText(HWND view, int count) {
    if (GetWindowTextLengthW(view) != 0)
        return false;
    std::wstring text;
    for (int n = 1; n <= count; ++n)
        text += line(n) + L"\r\n";
    ask(view, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ask(view, EM_SETSEL, 0, 0);
    ask(view, EM_SCROLLCARET);
    return GetWindowTextLengthW(view) != 0;
}

// "it holds 3 items and has room for 14" (room < 0: not known); `what` in the singular.
std::string holds(long total, long room, const char* what) {
    const std::string held =
        "it holds " + std::to_string(total) + " " + what + (total == 1 ? "" : "s");
    return room < 0 ? held : held + " and has room for " + std::to_string(room);
}

// A text's line height from where two lines start (a packed answer, no pointer).
long lineHeight(HWND view) {
    const LRESULT first = ask(view, EM_LINEINDEX, 0), second = ask(view, EM_LINEINDEX, 1);
    if (first < 0 || second <= first)
        return 0;
    const long top = static_cast<short>(HIWORD(ask(view, EM_POSFROMCHAR, WPARAM(first))));
    const long next = static_cast<short>(HIWORD(ask(view, EM_POSFROMCHAR, WPARAM(second))));
    return next - top;
}

} // namespace

bool fillView(HWND view, int count) {
    if (view == nullptr || count <= 0)
        return false;
    if (isText(view))
        return fillText(view, count);
    if (isClass(view, L"ListBox"))
        return fillListBox(view, count);
    if (isClass(view, L"SysListView32"))
        return fillListView(view, count);
    if (isClass(view, L"SysTreeView32"))
        return fillTreeView(view, count);
    return false;
}

Scrollability scrollability(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    const long height = client.bottom - client.top;
    // The window's own bars, where they answer (not across processes under every system).
    for (int bar : {SB_VERT, SB_HORZ}) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE;
        if (GetScrollInfo(window, bar, &info) && info.nMax > info.nMin)
            return {info.nMax - info.nMin + 1 > static_cast<int>(info.nPage) ? "yes" : "no",
                    "its scroll bar's range"};
    }
    if (isText(window)) {
        const long lines = static_cast<long>(ask(window, EM_GETLINECOUNT));
        const long each = lineHeight(window);
        if (each <= 0)
            return {lines <= 1 ? "no" : "unknown", holds(lines, -1, "line")};
        const long shown = height / each;
        return {lines > shown ? "yes" : "no", holds(lines, shown, "line")};
    }
    if (isClass(window, L"ListBox")) {
        const long items = static_cast<long>(ask(window, LB_GETCOUNT));
        const long each = static_cast<long>(ask(window, LB_GETITEMHEIGHT, 0));
        const long shown = each > 0 ? height / each : items;
        return {items > shown ? "yes" : "no", holds(items, shown, "item")};
    }
    if (isClass(window, L"SysListView32")) {
        const long items = static_cast<long>(ask(window, LVM_GETITEMCOUNT));
        const long shown = static_cast<long>(ask(window, LVM_GETCOUNTPERPAGE));
        return {items > shown ? "yes" : "no", holds(items, shown, "item")};
    }
    if (isClass(window, L"SysTreeView32")) {
        // Item handles of another process are only passed back to it, never read.
        long items = 0;
        for (LRESULT item = ask(window, TVM_GETNEXTITEM, TVGN_ROOT); item != 0 && items < 100000;
             item = ask(window, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, item))
            ++items;
        const long shown = static_cast<long>(ask(window, TVM_GETVISIBLECOUNT));
        return {items > shown ? "yes" : "no", holds(items, shown, "open item")};
    }
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if (!(style & (WS_VSCROLL | WS_HSCROLL)))
        return {"unknown", "no scroll bar of its own"};
    return {"unknown", "a scroll bar whose range cannot be read from outside"};
}

} // namespace probe
