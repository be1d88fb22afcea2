// The settings under the function tree: the dead zone and Reverse of a setup, the speeds of the
// selected program and of all programs, key combinations on buttons, the built-in setups back.
#include "ui/GdrConfigDialog.h"

#include "GloUserSettings.h"
#include "config/UserSettingsStore.h"
#include "ui/GdrApplicationAccess.h"
#include "ui/GdrConfigDialogParts.h"
#include "ui/GdrPopupMenu.h"
#include "ui/GdrTexts.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

// The member, not the system's macro of the same name.
#undef DefWindowProc

namespace glo_ui {

using namespace dialog;

namespace {

// The position nearest to a speed by ratio (a speed written into the file by hand need not be
// one of the steps).
int speedPosition(int speed) {
    int best = 0;
    for (int i = 1; i < kSpeedPositions; ++i)
        if (std::fabs(std::log(double(kSpeedSteps[i]) / speed)) <
            std::fabs(std::log(double(kSpeedSteps[best]) / speed)))
            best = i;
    return best;
}

// A speed as the user reads it: "1.0x", "0.25x", "2.8x" (one decimal, two where it has them),
// with the decimal separator of the user interface's language.
std::wstring factorText(int speed) {
    const int hundredths = (speed + 5) / 10;
    std::wstring number = std::to_wstring(hundredths / 100) + loadText(IDS_DECIMAL_SEPARATOR);
    number += static_cast<wchar_t>(L'0' + hundredths % 100 / 10);
    if (hundredths % 10 != 0)
        number += static_cast<wchar_t>(L'0' + hundredths % 10);
    return formatText(IDS_SPEED_FACTOR, number.c_str());
}

} // namespace

namespace dialog {

// The speed stored for `program` (null: all programs), in thousandths.
int storedSpeed(const wchar_t* program) {
    return static_cast<int>(std::lround(CGlo_UserSettings::getSpeed(program) * 1000));
}

} // namespace dialog

LRESULT CGdrConfigDialog::OnHorizontalScroll(WPARAM wParam, LPARAM lParam) {
    const HWND slider = reinterpret_cast<HWND>(lParam);
    if (slider == m_speed || slider == m_speedAll) {
        const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        if (slider == m_speed)
            setProgramSpeed(position);
        else
            setAllSpeed(position);
        return 0;
    }
    if (slider != m_deadZone)
        return DefWindowProc(WM_HSCROLL, wParam, lParam);
    setDeadZone(static_cast<int>(SendMessageW(m_deadZone, TBM_GETPOS, 0, 0)));
    return 0;
}

// The slider of the selected program shows its own factor, the line below what it moves at:
// both factors multiplied. The lights show it too, for the directions that drive a continuous
// function.
void CGdrConfigDialog::showSpeed() {
    const int application = selectedApplication();
    const bool live = liveObject(application) != nullptr;
    const int own = live ? m_applications[application].speed : 1000;
    const int effective = glo_config::combineSpeeds(m_allSpeed, own);
    SendMessageW(m_speed, TBM_SETPOS, TRUE, speedPosition(own));
    SendMessageW(m_speedAll, TBM_SETPOS, TRUE, speedPosition(m_allSpeed));
    SetDlgItemTextW(m_hWnd, IDC_SPEED_VALUE, live ? factorText(own).c_str() : L"");
    SetDlgItemTextW(m_hWnd, IDC_SPEED_ALL_VALUE, factorText(m_allSpeed).c_str());
    SetDlgItemTextW(m_hWnd, IDC_SPEED_EFFECTIVE,
                    live ? formatText(IDS_SPEED_EFFECTIVE, m_applications[application].name.c_str(),
                                      factorText(effective).c_str(), factorText(own).c_str(),
                                      factorText(m_allSpeed).c_str())
                               .c_str()
                         : L"");
    if (!live && GetFocus() == m_speed)
        SetFocus(m_tree);
    for (int id : {IDC_SPEED_LABEL, IDC_SPEED, IDC_SPEED_VALUE})
        EnableWindow(GetDlgItem(m_hWnd, id), live);
    for (int direction = 0; direction < kGdrDirections; ++direction)
        m_mapping.setSpeed(direction, live && m_applications[application].continuousAt(direction)
                                          ? effective
                                          : 1000);
}

// Only a move to another position changes a speed: a speed between the steps stays as it is
// while its slider rests near it.
void CGdrConfigDialog::setProgramSpeed(int position) {
    const int application = selectedApplication();
    if (!liveObject(application) || position < 0 || position >= kSpeedPositions)
        return;
    CGdrEditedApplication& edited = m_applications[application];
    if (position == speedPosition(edited.speed))
        return;
    edited.speed = kSpeedSteps[position];
    edited.speedDirty = true;
    showSpeed();
    updateButtons();
}

void CGdrConfigDialog::setAllSpeed(int position) {
    if (position < 0 || position >= kSpeedPositions || position == speedPosition(m_allSpeed))
        return;
    m_allSpeed = kSpeedSteps[position];
    m_allSpeedDirty = true;
    showSpeed();
    updateButtons();
}

bool CGdrConfigDialog::saveSpeeds(std::wstring& failure) {
    bool edited = m_allSpeedDirty, keys = false;
    for (const CGdrEditedApplication& application : m_applications) {
        edited = edited || application.speedDirty || application.keysDirty;
        keys = keys || application.keysDirty;
    }
    if (!edited)
        return true;
    if (m_allSpeedDirty)
        CGlo_UserSettings::setSpeed(nullptr, m_allSpeed / 1000.0);
    for (const CGdrEditedApplication& application : m_applications)
        if (application.speedDirty)
            CGlo_UserSettings::setSpeed(application.name.c_str(), application.speed / 1000.0);
    GLO_SaveReport report = {};
    if (!CGlo_UserSettings::save(&report)) {
        failure = formatText(
            keys ? IDS_KEYS_SAVE_FAILED : IDS_SPEED_SAVE_FAILED,
            report.failure == GLO_SaveHeldBack
                ? formatText(IDS_SETTINGS_HELD_BACK, fileNameOf(report.file).c_str()).c_str()
                : saveFailureText(report).c_str());
        return false;
    }
    m_allSpeedDirty = false;
    for (CGdrEditedApplication& application : m_applications) {
        application.speedDirty = false;
        application.keysDirty = false;
    }
    return true;
}

// The button of the selected entry: a key combination's, a button setup's, or the first of a
// button function's; else button 0.
void CGdrConfigDialog::editKeys() {
    const int application = selectedApplication();
    if (!liveObject(application))
        return;
    const CGdrEditedApplication& edited = m_applications[application];
    int button = 0;
    const int entry = selectedEntry();
    if (entry >= 0 && m_entries[entry].kind == KeysEntry) {
        button = m_entries[entry].setup;
    } else if (entry >= 0 && m_entries[entry].kind != ApplicationEntry) {
        for (std::size_t s = 0; s < edited.setups.size(); ++s) {
            const CGdrEditableSetup& setup = edited.setups[s];
            const bool chosen =
                m_entries[entry].kind == SetupEntry
                    ? static_cast<int>(s) == m_entries[entry].setup
                    : std::wcscmp(setup.getName(),
                                  edited.functions[m_entries[entry].function].getName()) == 0;
            if (chosen && setup.isButton() && setup.buttonNumber() >= 0 &&
                setup.buttonNumber() < kGdrButtons) {
                button = setup.buttonNumber();
                break;
            }
        }
    }
    m_keysApplication = application;
    m_keysButton = button;
    m_keysChosen = 0;
    const unsigned tree = m_treeVersion;
    const INT_PTR answer =
        DialogBoxParamW(CWnd::GetResourceInstance(), MAKEINTRESOURCEW(IDD_KEYS_DIALOG), m_hWnd,
                        &CGdrConfigDialog::KeysDialogProc, reinterpret_cast<LPARAM>(this));
    m_keysApplication = -1;
    // The box's loop may have let the table change.
    if (answer != IDOK || tree != m_treeVersion || !liveObject(application))
        return;
    CGdrEditedApplication::Keys keys;
    keys.key = m_keysChosen & 0xFF;
    keys.modifiers = (m_keysChosen >> 8) & GLO_KeyAllModifiers;
    wchar_t stored[48];
    if (!CGlo_UserSettings::formatKeys(keys.modifiers, keys.key, stored, 48))
        keys = CGdrEditedApplication::Keys(); // none, or only modifiers: the button's own function
    CGdrEditedApplication::Keys& now = m_applications[application].keys[m_keysButton];
    if (now.key == keys.key && (keys.key == 0 || now.modifiers == keys.modifiers))
        return;
    now = keys;
    m_applications[application].keysDirty = true;
    rebuildTree(application, -1, keys.key != 0 ? -2 - m_keysButton : -1);
    updateButtons();
}

namespace {

// A button as the key dialog lists it: with its key combination, else what the plug-in put on it.
std::wstring buttonItem(const CGdrEditedApplication& application, int button) {
    const CGdrEditedApplication::Keys& keys = application.keys[button];
    std::wstring what = keysText(keys.modifiers, keys.key);
    for (const CGdrEditableSetup& setup : application.setups) {
        if (!what.empty() && keys.key != 0)
            break;
        const int function = application.findFunction(setup.getName());
        if (setup.isButton() && setup.buttonNumber() == button && function >= 0) {
            std::wstring name = application.functionText(function);
            what += (what.empty() ? L"" : L", ") + name;
        }
    }
    return what.empty() ? loadText(IDS_BUTTON) + L" " + std::to_wstring(button)
                        : formatText(IDS_BUTTON_KEYS, button, what.c_str());
}

void showKeysOf(HWND dialog, const CGdrEditedApplication& application, int button) {
    const CGdrEditedApplication::Keys& keys = application.keys[button];
    SendDlgItemMessageW(dialog, IDC_KEYS_HOTKEY, HKM_SETHOTKEY,
                        MAKEWORD(keys.key, keys.key != 0 ? keys.modifiers : 0), 0);
}

} // namespace

INT_PTR CALLBACK CGdrConfigDialog::KeysDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        CGdrConfigDialog* self =
            reinterpret_cast<CGdrConfigDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (self == nullptr || self->m_keysApplication < 0 ||
            self->m_keysApplication >= static_cast<int>(self->m_applications.size()))
            return FALSE;
        const CGdrEditedApplication& application = self->m_applications[self->m_keysApplication];
        const HWND buttons = GetDlgItem(dialog, IDC_KEYS_BUTTON);
        switch (message) {
        case WM_INITDIALOG: {
            SetWindowTextW(dialog, (application.name + L": " +
                                    [dialog] {
                                        wchar_t caption[128] = L"";
                                        GetWindowTextW(dialog, caption, 128);
                                        return std::wstring(caption);
                                    }())
                                       .c_str());
            for (int b = 0; b < kGdrButtons; ++b)
                SendMessageW(buttons, CB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(buttonItem(application, b).c_str()));
            SendMessageW(buttons, CB_SETCURSEL, self->m_keysButton, 0);
            showKeysOf(dialog, application, self->m_keysButton);
            return TRUE; // the focus on the first control, the button
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_KEYS_BUTTON:
                if (HIWORD(wParam) == CBN_SELCHANGE) {
                    const LRESULT b = SendMessageW(buttons, CB_GETCURSEL, 0, 0);
                    if (b >= 0 && b < kGdrButtons)
                        showKeysOf(dialog, application, static_cast<int>(b));
                }
                return TRUE;
            case IDC_KEYS_CLEAR:
                SendDlgItemMessageW(dialog, IDC_KEYS_HOTKEY, HKM_SETHOTKEY, 0, 0);
                SetFocus(GetDlgItem(dialog, IDC_KEYS_HOTKEY));
                return TRUE;
            case IDOK: {
                const LRESULT b = SendMessageW(buttons, CB_GETCURSEL, 0, 0);
                if (b >= 0 && b < kGdrButtons)
                    self->m_keysButton = static_cast<int>(b);
                self->m_keysChosen = static_cast<unsigned>(
                    LOWORD(SendDlgItemMessageW(dialog, IDC_KEYS_HOTKEY, HKM_GETHOTKEY, 0, 0)));
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            case IDCANCEL:
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            default:
                return FALSE;
            }
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE; // nothing may leave through the system's message dispatch
    }
}

void CGdrConfigDialog::storeKeys() {
    for (std::size_t a = 0; a < m_applications.size(); ++a) {
        CGdrEditedApplication& application = m_applications[a];
        if (!application.keysDirty || !liveObject(static_cast<int>(a)))
            continue;
        for (int b = 0; b < kGdrButtons; ++b)
            CGlo_UserSettings::setButtonKeys(application.name.c_str(), b,
                                             application.keys[b].modifiers,
                                             application.keys[b].key);
        // Edited setups take the keys along when they are handed over; otherwise the setups
        // are handed back as they are, and the file that holds them stays untouched.
        if (!application.dirty && application.object) {
            if (rebuildConnections(*application.object, application.name, pluginFolder()))
                refreshApplication(static_cast<int>(a));
            else
                application.object = nullptr; // it crashed: the host's notice follows
        }
    }
}

void CGdrConfigDialog::showSetupControls() {
    int application = -1;
    const int setup = selectedSetup(application);
    const bool any = setup >= 0;
    const int threshold = any ? m_applications[application].setups[setup].getThreshold() : 0;
    SendMessageW(m_deadZone, TBM_SETPOS, TRUE, threshold);
    SetDlgItemTextW(m_hWnd, IDC_DEADZONE_VALUE, any ? std::to_wstring(threshold).c_str() : L"");
    const HWND focus = GetFocus();
    // A control about to be disabled first hands the focus on, so that the keyboard keeps it.
    if (!any && (focus == m_deadZone || focus == GetDlgItem(m_hWnd, IDC_REVERSE)))
        SetFocus(m_tree);
    for (int id : {IDC_DEADZONE_LABEL, IDC_DEADZONE, IDC_DEADZONE_VALUE, IDC_REVERSE})
        EnableWindow(GetDlgItem(m_hWnd, id), any);
    const bool live = liveObject(selectedApplication()) != nullptr;
    EnableWindow(GetDlgItem(m_hWnd, IDC_RESTORE_DEFAULTS), live);
    EnableWindow(GetDlgItem(m_hWnd, IDC_KEY_COMBINATION), live);
}

void CGdrConfigDialog::reverse(const SetupChoice& choice, int slot) {
    if (!stillMeans(choice) || !liveObject(choice.application) ||
        !m_applications[choice.application].reverse(choice.setup, slot))
        return;
    setupChanged(choice.application, choice.setup);
}

void CGdrConfigDialog::chooseReverse() {
    int application = -1;
    const int setupIndex = selectedSetup(application);
    if (setupIndex < 0)
        return;
    const SetupChoice choice = {m_treeVersion, application, setupIndex};
    const CGdrEditedApplication& edited = m_applications[application];
    const CGdrEditableSetup& setup = edited.setups[setupIndex];
    if (setup.slots() == 1) {
        reverse(choice, 0);
        return;
    }
    CPopupMenu menu;
    for (int slot = 0; slot < setup.slots(); ++slot)
        AppendMenuW(menu.get(), MF_STRING, kReverseCommand + slot,
                    menuText(edited.slotText(setup, slot)).c_str());
    RECT button;
    GetWindowRect(GetDlgItem(m_hWnd, IDC_REVERSE), &button);
    const int chosen = trackMenu(menu.get(), {button.left, button.bottom});
    if (chosen >= static_cast<int>(kReverseCommand))
        reverse(choice, chosen - static_cast<int>(kReverseCommand));
}

void CGdrConfigDialog::setDeadZone(int threshold) {
    int application = -1;
    const int setup = selectedSetup(application);
    if (setup < 0 || !liveObject(application))
        return;
    threshold = std::max(0, std::min(kLargestDeadZone, threshold));
    CGdrEditableSetup& edited = m_applications[application].setups[setup];
    SetDlgItemTextW(m_hWnd, IDC_DEADZONE_VALUE, std::to_wstring(threshold).c_str());
    if (edited.getThreshold() == threshold)
        return;
    edited.setThreshold(threshold);
    setupChanged(application, setup);
}

// After a confirmation; the built-in setups then stand in the dialog like any edit, for OK or
// Apply to store and Cancel to drop.
void CGdrConfigDialog::restoreDefaults(int application) {
    if (!liveObject(application))
        return;
    const std::wstring name = m_applications[application].name;
    wchar_t caption[128] = L"";
    GetWindowTextW(m_hWnd, caption, 128);
    const unsigned tree = m_treeVersion;
    const int answer = MessageBoxW(m_hWnd, formatText(IDS_RESTORE_QUESTION, name.c_str()).c_str(),
                                   caption, MB_OKCANCEL | MB_ICONQUESTION);
    // The box's loop may have let the table change.
    CGlo_Application* object = liveObject(application);
    if (answer != IDOK || tree != m_treeVersion || !object)
        return;
    std::vector<CGdrEditableSetup> defaults;
    if (!readDefaults(*object, name, pluginFolder(), defaults))
        return; // it crashed: the host's notice follows
    m_applications[application].setups.swap(defaults);
    m_applications[application].dirty = true;
    // The program's own speed goes back to normal too; the speed of all programs stays.
    m_applications[application].speedDirty =
        m_applications[application].speed != 1000 || m_applications[application].speedDirty;
    m_applications[application].speed = 1000;
    CGdrEditedApplication& edited = m_applications[application];
    if (edited.hasKeys()) {
        std::fill(edited.keys, edited.keys + kGdrButtons, CGdrEditedApplication::Keys());
        edited.keysDirty = true;
    }
    rebuildTree(application, -1, -1);
    updateButtons();
}

} // namespace glo_ui
