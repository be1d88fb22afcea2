// The configuration dialog: the loaded applications with their functions and setups in a tree,
// functions dragged onto the axis directions of the axis-mapping control, the cap in 3-D, live
// motion in both; OK and Apply hand the setups to the applications and write their files.
//
// Modeless, on the thread that opens it, which must pump messages: normally the thread that
// called ZuVidInit, where the core window lives and configurations are reloaded. One dialog per
// process.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "GloApplication.h"
#include "GloFunctionSetup.h"
#include "GloWnd.h"
#include "ui/GdrAxisMappingCtl.h"
#include "ui/GdrCapView.h"

#include <string>
#include <vector>

class CGdrProxy;

#pragma push_macro("DefWindowProc")
#undef DefWindowProc

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
};

class CGdrConfigDialog : public CWnd {
public:
    // Opens the dialog for `parent` (may be null) unless one is open; true when one is open
    // afterwards.
    static bool open(CGdrProxy& proxy, HWND parent);
    // Closes the dialog from any thread.
    static void close();
    // Before the library is unloaded: no window, hook or procedure of it may outlive its code.
    static void releaseForUnload(HINSTANCE instance);
    // Called on the driver's thread with every motion while the dialog is visible: stores the
    // latest values and wakes the dialog once, never waits and allocates nothing.
    static void handOverLiveMotion(HWND dialog, const int values[6]);

    ~CGdrConfigDialog() override;

    // Default threshold of a setup made by a drop: a small dead zone above the multiplexer's own.
    static constexpr int kDefaultThreshold = 30;

private:
    enum EntryKind { ApplicationEntry, FunctionEntry, SetupEntry };
    struct TreeEntry {
        EntryKind kind;
        int application;
        int function; // index in the application's function list
        int setup;    // index in the edited setups
    };
    // One loaded application as the dialog edits it.
    struct Application {
        CGlo_Application* object; // the plug-in's, valid while the host's table holds it
        std::wstring name;
        std::vector<CGdrEditableSetup> setups;
        bool dirty;
        bool expanded;
    };

    explicit CGdrConfigDialog(CGdrProxy& proxy);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    const GloMessageMapEntry* GetMessageMap() const override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    LRESULT OnInitDialog(WPARAM, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnCommand(WPARAM, LPARAM);
    LRESULT OnNotify(WPARAM, LPARAM);
    LRESULT OnContextMenu(WPARAM, LPARAM);
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnLeftButtonUp(WPARAM, LPARAM);
    LRESULT OnCaptureChanged(WPARAM, LPARAM);
    LRESULT OnSetCursor(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM, LPARAM);
    LRESULT OnLiveMotion(WPARAM, LPARAM);

    // The host's applications read afresh, all or one; edits of those read are dropped.
    void readApplications();
    void readApplication(int index);
    // The application object when the host still holds it at that index, else null.
    CGlo_Application* liveObject(int index);
    bool tableChanged();

    void rebuildTree(int selectApplication, int selectFunction, int selectSetup);
    int selectedEntry();
    int selectedApplication();
    void showMapping();
    void updateButtons();

    std::wstring functionText(CGlo_PluginFunction& function);
    std::wstring setupText(CGlo_Application& object, const CGdrEditableSetup& setup);
    std::wstring directionText(int application, CGlo_Application& object, int direction);

    // Builds or extends a setup of the function for a drop on the direction; the index of the
    // setup changed, or -1 when the function cannot be driven by an axis.
    int drop(int application, int function, int direction);
    // Removal waits for a posted message: the tree must not lose its items inside its own
    // notifications.
    void requestRemoval(int entry);
    LRESULT OnRemoveSetup(WPARAM application, LPARAM setup);
    bool applyChanges();

    void beginDrag(int entry, HTREEITEM item);
    int dropDirectionAt(POINT screen);
    void endDrag(bool dropIt);
    void showLiveMotion();

    CGdrProxy& m_proxy;
    std::vector<Application> m_applications;
    std::vector<TreeEntry> m_entries;
    HWND m_tree;
    CGdrAxisMappingCtl m_mapping;
    CGdrCapView m_cap;
    bool m_dragging;
    int m_dragEntry;
    int m_dragDirection;
    bool m_refreshing;
    ULONGLONG m_lastFrame;
    ULONGLONG m_frameMs;
    bool m_frameTimer;
};

} // namespace glo_ui

#pragma pop_macro("DefWindowProc")
