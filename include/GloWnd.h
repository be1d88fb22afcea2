// A small window framework: a C++ object bound to a window of a registered class,
// with a table that maps (registered) messages to member handlers.
#pragma once

#include "GloExport.h"

#include <windows.h>

class CWnd;

// Handler of one mapped message; its result is the message's result.
typedef LRESULT (CWnd::*GloMessageHandler)(WPARAM wParam, LPARAM lParam);

// One entry of a message map. A registered message is named through the address
// of the global that holds its identifier, read at dispatch time; otherwise
// `message` is used. A map ends with an entry whose handler is null.
struct GloMessageMapEntry {
    UINT message;
    const UINT* registeredMessage;
    GloMessageHandler handler;
};

// Builds a map entry for a handler of a class derived from CWnd.
#define GLO_ON_MESSAGE(msg, cls, fn)                                                               \
    { (msg), nullptr, static_cast<GloMessageHandler>(&cls::fn) }
#define GLO_ON_REGISTERED_MESSAGE(idVar, cls, fn)                                                  \
    { 0, &(idVar), static_cast<GloMessageHandler>(&cls::fn) }
#define GLO_END_MESSAGE_MAP()                                                                      \
    { 0, nullptr, nullptr }

// The member DefWindowProc must be the same function whether or not a plug-in defines UNICODE:
// the system's macro of that name stays out of this class. Code built without UNICODE that
// wants the member's behaviour calls DefaultWindowProc.
#pragma push_macro("DefWindowProc")
#undef DefWindowProc

// Owns only a window it created itself: the destructor destroys that window and
// nothing else. Windows of classes registered with StandardWindowProc reach the
// object that created them; unmapped messages get the default behaviour.
class GLO_API CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the window and binds it to this object; FALSE if it already has one
    // or creation fails. `param` reaches WM_CREATE like lpCreateParams.
    BOOL CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT idOrMenu, void* param = nullptr);
    BOOL Create(const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect,
                HWND parent, UINT id);
    // Creates a modeless dialog from a template of this library whose CLASS is registered with
    // StandardWindowProc (and DLGWINDOWEXTRA): the object receives every message of it from the
    // first one on. FALSE if it already has a window or creation fails.
    BOOL CreateDlg(const wchar_t* templateName, HWND parent);
    // Binds a window someone else created (a control of a dialog template) to this object, which
    // then owns it like its own. Its class must use StandardWindowProc; FALSE otherwise, or when
    // either is bound already.
    BOOL Attach(HWND hwnd);
    // Destroys the window this object created; the handle is null afterwards. Only the window's
    // own thread can destroy it: from another thread the window is asked to destroy itself and
    // waited for up to a second. A window whose thread does not answer is cut loose instead:
    // it gets the system's default window procedure (no message reaches this object or this
    // library again) and closes when its thread next pumps messages. TRUE when the window is
    // gone.
    BOOL DestroyWindow();
    // The same without waiting for another thread (while the library is being unloaded).
    BOOL DestroyWindowNoWait();

    // The object bound to a window created by CreateEx, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Window procedure of every class whose windows are CWnd objects.
    static LRESULT CALLBACK StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam);

    // Registers a class with StandardWindowProc unless `instance` already has a
    // class of that name. TRUE if the class exists afterwards.
    static BOOL RegisterWndClass(const wchar_t* className, UINT style, HINSTANCE instance,
                                 HICON icon, HCURSOR cursor, HBRUSH background);

    // Module handle of this library (its resources and window classes).
    static HINSTANCE GetResourceInstance();
    // Caption of the library's message boxes.
    static const wchar_t* GetAppTitle();
    // Standard message box: the string-table text `stringId`, the library's title,
    // OK button and stop icon unless `type` says otherwise. Returns the button.
    static int MessageBoxFromString(UINT stringId, UINT type = MB_OK | MB_ICONSTOP);

    HWND m_hWnd;

protected:
    // Dispatches through the message map, else DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual const GloMessageMapEntry* GetMessageMap() const;
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProc(message, wParam, lParam);
    }

private:
    void Detach();
    BOOL Destroy(DWORD otherThreadWaitMs);
    // No message of `hwnd` reaches this library's code any more; the window closes itself.
    static void CutLoose(HWND hwnd);

    bool m_ownsWindow;
};

#pragma pop_macro("DefWindowProc")
