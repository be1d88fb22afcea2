// Entry points called by the device driver, and the library's attach steps.
#include "GdrProxy.h"
#include "GloTextIds.h"
#include "ZuVidDriver.h"

#include "config/UserSettingsStore.h"
#include "host/GloPluginHost.h"
#include "log/GdrLog.h"
#include "ui/GdrConfigDialog.h"
#include "ui/GdrConfigUi.h"

namespace {

const std::size_t kEventLineCapacity = 499;
const wchar_t kAxisMappingClass[] = GDR_AXIS_MAPPING_CLASS;
const wchar_t kCapWrapperClass[] = GDR_CAP_VIEW_CLASS;

HINSTANCE s_instance = nullptr;

// Lowest set bit, or -1 when none.
int lowestBit(std::uint32_t mask) {
    for (int bit = 0; bit < 32; ++bit) {
        if (mask & (std::uint32_t(1) << bit))
            return bit;
    }
    return -1;
}

// The two lines written for every event share one buffer; written only when
// the driver logs, so the event path does no text work otherwise.
void logEvent(HWND window) {
    CGdrProxy& proxy = getCoreProxy();
    if (!proxy.canLog())
        return;
    static wchar_t line[kEventLineCapacity + 1];
    gdrFormatLine(line, kEventLineCapacity, GDR_LOG_TAG L"Handling message for HWND 0x%x\n",
                  gdrHex(window));
    proxy.log(line);
    wchar_t text[255];
    text[0] = L'\0';
    // The text the system keeps: no message to a program that may not answer.
    if (window)
        InternalGetWindowText(window, text, 255);
    gdrFormatLine(line, kEventLineCapacity, L"Application %ls\n", text);
    proxy.log(line);
}

// The user's own settings (the speed), read before the plug-ins, which may read them too; a
// file that could not be read in full is named in the log with what became of it.
void loadUserSettings(CGdrProxy& proxy) {
    const glo_config::SettingsLoad load = glo_config::loadUserSettings();
    wchar_t line[1024];
    if (load.outcome == glo_config::SettingsLoad::SetAside)
        gdrFormatLine(line, 1023,
                      GDR_LOG_TAG L"%ls cannot be read in full; kept as %ls, what could be read "
                                  L"of it is used\n",
                      load.file, load.aside);
    else if (load.outcome == glo_config::SettingsLoad::HeldBack)
        gdrFormatLine(line, 1023,
                      GDR_LOG_TAG L"%ls cannot be read nor renamed; the normal settings are used "
                                  L"and changes are not kept\n",
                      load.file);
    else
        return;
    proxy.log(line);
}

void registerControlClasses(HINSTANCE instance) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    CWnd::RegisterWndClass(kAxisMappingClass, CS_DBLCLKS, instance, nullptr, arrow, nullptr);
    CWnd::RegisterWndClass(kCapWrapperClass, CS_DBLCLKS, instance, nullptr, arrow, nullptr);
}

// Window procedures of classes registered by a library stay behind it when it
// is unloaded: a later load would find them and crash.
void unregisterClasses(HINSTANCE instance) {
    UnregisterClassW(kAxisMappingClass, instance);
    UnregisterClassW(kCapWrapperClass, instance);
    UnregisterClassW(GDR_CORE_WINDOW_CLASS, instance);
}

} // namespace

extern "C" {

void WINAPI ZuVidInit(std::uint32_t driverId, const ZuVidCallbackTable* callbacks) {
    CGdrProxy& proxy = getCoreProxy();
    if (!proxy.init(driverId, callbacks))
        return;

    const ZuVidGetDeviceNameProc getDeviceName = proxy.getCallbacks().getDeviceName;
    // One spare character: a driver that fills the buffer need not terminate it.
    wchar_t name[33] = L"";
    bool found = getDeviceName && getDeviceName(proxy.GetSafeHwnd(), name, 32) == 0;
    name[32] = L'\0';
    if (!found || !wcsstr(name, L"USB")) {
        wchar_t text[512] = L"";
        LoadStringW(CWnd::GetResourceInstance(), GLO_TEXT_NO_USB_DEVICE, text, 512);
        wchar_t line[512];
        gdrFormatLine(line, 511, GDR_LOG_TAG L"%ls\n", text);
        proxy.log(line);
        proxy.shutdown();
        return;
    }

    loadUserSettings(proxy);
    getPluginHost().loadPlugins(L"Office/Plugins");
    proxy.loadConfiguration();
}

// Unloads the plug-ins too: each imports this library, so while one stays loaded the driver's
// FreeLibrary could never unload it, and the plug-ins' workers would live on in its process.
int WINAPI ZuVidTerm() {
    getPluginHost().freeAllPlugins();
    getCoreProxy().shutdown();
    return 1;
}

int WINAPI ZuVidSendEvent(HWND window, const ZuVidEventRecord* event) {
    if (event) {
        switch (event->type) {
        case ZUVID_EVENT_BUTTON: {
            const int pressed = lowestBit(event->pressed);
            if (pressed >= 0) {
                forwardButton(pressed, 1);
            } else if (event->pressed == 0) {
                const int released = lowestBit(event->released);
                if (released >= 0)
                    forwardButton(released, 0);
            }
            break;
        }
        case ZUVID_EVENT_MOTION:
            forwardMotion(event->motion[0], event->motion[1], event->motion[2], event->motion[3],
                          event->motion[4], event->motion[5]);
            break;
        case ZUVID_EVENT_ZERO:
            forwardMotion(0, 0, 0, 0, 0, 0);
            break;
        default:
            break;
        }
    }
    logEvent(window);
    return 0;
}

int WINAPI ZuVidIsValidHdl(HWND window) {
    return getPluginHost().isValidHandle(window);
}

void WINAPI ZuVidGetInfo(const wchar_t** info) {
    static const wchar_t kInfo[] = L"Glidora Proxy ... office work horse";
    if (info)
        *info = kInfo;
}

void WINAPI ZuVidCloseHdl(HWND window) {
    CGdrProxy& proxy = getCoreProxy();
    if (!window || window != proxy.getAnnouncedWindow())
        return;
    getPluginHost().freeAllPlugins();
    proxy.shutdown();
}

void WINAPI ZuVidServiceRequest() {}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        s_instance = instance;
        registerControlClasses(instance);
        CGdrProxy::raiseProcessPriority();
        break;
    case DLL_THREAD_ATTACH:
        CGdrProxy::adjustThreadPriority();
        break;
    case DLL_PROCESS_DETACH:
        if (!reserved) {
            // FreeLibrary: no window may outlive the code of its procedure. Nothing waits for
            // another thread under the loader lock.
            getCoreProxy().DestroyWindowNoWait();
            glo_ui::CGdrConfigDialog::releaseForUnload(s_instance);
            unregisterClasses(s_instance);
        }
        break;
    default:
        break;
    }
    return TRUE;
}
}
