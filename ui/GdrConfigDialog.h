// The configuration dialog: the loaded applications with their functions and setups in a tree,
// functions put onto the axis directions of the axis-mapping control (by a drag, or from the
// keyboard through the context menu), a setup's dead zone and direction, the built-in setups
// back, the user's speed for the selected program and for all programs, the cap in 3-D, live
// motion in both; OK and Apply hand the setups to the applications and write their files, and
// store the speeds in the user settings; Cancel leaves them as they were.
//
// Modeless, on the thread that opens it, which must pump messages: normally the thread that
// called ZuVidInit, where the core window lives and configurations are reloaded. One dialog per
// process. It keeps copies of what it shows and touches an application only while the host's
// table is the one it read (GloLoadedPrograms.h), so plug-ins may come and go while it is open.
//
// One class, its panes in files of their own: GdrConfigDialog.cpp the frame (open, OK, Apply,
// Cancel, the program list, the status line, live motion), GdrConfigDialogTree.cpp the function
// tree, GdrConfigDialogCells.cpp the direction cells, GdrConfigDialogSettings.cpp the settings
// under the tree.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "GloApplication.h"
#include "GloWnd.h"
#include "ui/GdrAxisMappingCtl.h"
#include "ui/GdrCapView.h"
#include "ui/GdrEditedApplication.h"

#include <string>
#include <vector>

#pragma push_macro("DefWindowProc")
#undef DefWindowProc

namespace glo_ui {

class CGdrConfigDialog : public CWnd {
public:
    // Opens the dialog for `parent` (may be null) unless one is open; true when one is open
    // afterwards.
    static bool open(HWND parent);
    // Closes the dialog from any thread.
    static void close();
    // Before the library is unloaded: no window, hook or procedure of it may outlive its code.
    static void releaseForUnload(HINSTANCE instance);
    // Called on the driver's thread with every motion while the dialog is visible: stores the
    // latest values and wakes the dialog once, never waits and allocates nothing.
    static void handOverLiveMotion(HWND dialog, const int values[6]);

    ~CGdrConfigDialog() override;

private:
    enum EntryKind { ApplicationEntry, FunctionEntry, SetupEntry, KeysEntry };
    struct TreeEntry {
        EntryKind kind;
        int application;
        int function; // index in the application's function list
        int setup;    // index in the edited setups; the button of a KeysEntry
        HTREEITEM item;
    };
    // A setup chosen before a nested message loop (a menu, a message box, a posted message): it
    // still means the same setup only while the tree was not rebuilt meanwhile.
    struct SetupChoice {
        unsigned tree;
        int application;
        int setup;
    };

    explicit CGdrConfigDialog(int frontApplication);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    const GloMessageMapEntry* GetMessageMap() const override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    LRESULT OnInitDialog(WPARAM, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnCommand(WPARAM, LPARAM);
    LRESULT OnNotify(WPARAM, LPARAM);
    LRESULT OnContextMenu(WPARAM, LPARAM);
    LRESULT OnHorizontalScroll(WPARAM, LPARAM);
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnLeftButtonUp(WPARAM, LPARAM);
    LRESULT OnCaptureChanged(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM, LPARAM);
    LRESULT OnLiveMotion(WPARAM, LPARAM);
    LRESULT OnRemoveSetup(WPARAM, LPARAM);

    // Reads the host's applications afresh; edits of those still loaded are kept, and what came
    // and went is said in the status line. `reloaded`: the index whose configuration the core
    // just reloaded, or -1.
    void syncApplications(int reloaded);
    // The application object when the host's table is still the one read and holds it at that
    // index, else null: the only way to an application object.
    CGlo_Application* liveObject(int index);
    void refreshApplication(int index);
    std::wstring pluginFolder() const;

    void rebuildTree(int selectApplication, int selectFunction, int selectSetup);
    int selectedEntry();
    int selectedApplication();
    // The setup the dead zone and Reverse act on: the selected setup, or the one motion setup of
    // the selected function; -1 when there is none.
    int selectedSetup(int& application);
    bool stillMeans(const SetupChoice& choice) const;
    void showMapping();
    void showSetupControls();
    void updateButtons();
    void updateStatus();
    // After a setup was edited: marked, and shown everywhere it appears.
    void setupChanged(int application, int setup);

    void assign(int application, int function, int direction);
    void reverse(const SetupChoice& choice, int slot);
    // Reverse from its button: the setup's only axis, or the one chosen from a menu.
    void chooseReverse();
    void setDeadZone(int threshold);
    // A slider's position taken as the selected program's speed, or as that of all programs.
    void setProgramSpeed(int position);
    void setAllSpeed(int position);
    // Sliders, factors, the speed the selected program moves at, and the lights that show it.
    void showSpeed();
    // Stores the edited speeds in the user settings; false (and why in `failure`) when they
    // could not be saved, in which case they stay edited.
    bool saveSpeeds(std::wstring& failure);
    // The key combination of a button of the selected program, in a small dialog of its own
    // (the selected entry's button first); kept as an edit, like the other settings.
    void editKeys();
    static INT_PTR CALLBACK KeysDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // Stores the edited key combinations in the user settings (in memory) and has their
    // applications rebuild their buttons with the next configuration they are given.
    void storeKeys();
    void restoreDefaults(int application);
    void requestRemoval(int entry);
    // Hands the edits to the applications and has them saved; true when none is left unsaved.
    // An application whose file could not be written keeps its edits (Apply stays on), and the
    // status line says why.
    bool applyChanges();

    void treeMenu(POINT point, bool fromKeyboard);
    void mappingMenu(POINT point, bool fromKeyboard);
    int trackMenu(HMENU menu, POINT point);

    void beginDrag(int entry, HTREEITEM item);
    int dropDirectionAt(LPARAM dialogPoint); // a mouse message's point in the dialog
    void endDrag(bool dropIt);
    void showLiveMotion();

    int m_frontApplication; // the program that was in front when the dialog was asked for
    int m_keysApplication;  // the key dialog's program and button while it is open
    int m_keysButton;
    unsigned m_keysChosen; // what its OK took: modifiers << 8 | key (the hot-key control's)
    std::vector<CGdrEditedApplication> m_applications;
    std::vector<TreeEntry> m_entries;
    unsigned m_tableGeneration; // of the host's table read last
    unsigned m_treeVersion;     // counts rebuilds of the tree
    std::wstring m_notice;      // what came and went while the dialog was open
    std::wstring m_saveNotice;  // what the last OK or Apply could not save
    SetupChoice m_removal;
    HWND m_tree;
    HWND m_deadZone;
    HWND m_speed;
    HWND m_speedAll;
    int m_allSpeed; // thousandths, as edited
    bool m_allSpeedDirty;
    CGdrAxisMappingCtl m_mapping;
    CGdrCapView m_cap;
    bool m_dragging;
    int m_dragEntry;
    unsigned m_dragTree;
    int m_dragDirection;
    bool m_refreshing;
    ULONGLONG m_lastFrame;
    ULONGLONG m_frameMs;
    bool m_frameTimer;
};

} // namespace glo_ui

#pragma pop_macro("DefWindowProc")
