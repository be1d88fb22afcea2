#include "GdrProxy.h"

#include "host/GloDriverSide.h"
#include "host/GloPluginHost.h"
#include "log/GdrLog.h"
#include "log/GdrLogSink.h"
#include "proxy/GdrMessages.h"
#include "proxy/GdrTestHooks.h"
#include "events/GloEventMath.h"
#include "resources/resource.h"
#include "ui/GdrConfigDialog.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <cwchar>

// Static construction order: the registered messages, the core object, then
// the plug-in host (host/GloPluginHost.cpp, priority 203).
GdrMessages g_gdrMessages __attribute__((init_priority(201)));
static CGdrProxy s_coreProxy __attribute__((init_priority(202)));

namespace {
// The log and the host reach the driver through the core object, and only through these.
struct DriverLinks {
    DriverLinks() {
        glo_log::setSink({[] { return s_coreProxy.canLog(); },
                          [](const wchar_t* line) { s_coreProxy.log(line); }});
        glo_host::setDriverSide({[] { return s_coreProxy.getConfigDialog(); },
                                 [](HWND window) { s_coreProxy.registerWindow(window); },
                                 [](HWND dialog) { s_coreProxy.setConfigDialog(dialog); },
                                 &CGdrProxy::getLiveMotionProc, &CGdrProxy::setLiveMotionProc,
                                 [] { return int(s_coreProxy.getLoadedConfigurationIndex()); }});
    }
};
DriverLinks s_driverLinks __attribute__((init_priority(202)));
} // namespace

HWND g_gdrCloneWindow = nullptr;

namespace {

GdrDispatchObserver s_dispatchObserver = nullptr;
CGdrProxy::LiveMotionProc s_liveMotionProc = nullptr;

const std::size_t kLineCapacity = 511;

void dispatchToHost(int x, int y, int z, int a, int b, int c, int button, int state) {
    if (s_dispatchObserver)
        s_dispatchObserver(x, y, z, a, b, c, button, state);
    getPluginHost().dispatchEvent(x, y, z, a, b, c, button, state);
}

// Packs two 16-bit values into one message parameter: high word, low word.
WPARAM packPair(int high, int low) {
    return static_cast<WPARAM>((static_cast<std::uint32_t>(high) << 16) |
                               (static_cast<std::uint32_t>(low) & 0xFFFFu));
}

LPARAM packHigh(int high) {
    return static_cast<LPARAM>(static_cast<std::int32_t>(static_cast<std::uint32_t>(high) << 16));
}

} // namespace

GdrMessages::GdrMessages()
    : debugEvent(RegisterWindowMessageW(GDR_MSG_DEBUGEVENT)),
      configChanged(RegisterWindowMessageW(GDR_MSG_CONFIGCHANGED)),
      registerClone(RegisterWindowMessageW(GDR_MSG_REGISTERCLONE)),
      motionXYZ(RegisterWindowMessageW(GDR_MSG_MOTIONXYZ)),
      motionABC(RegisterWindowMessageW(GDR_MSG_MOTIONABC)),
      buttonData(RegisterWindowMessageW(GDR_MSG_BUTTONDATA)),
      nonLinearInfoChanged(RegisterWindowMessageW(GDR_MSG_NONLINEARINFOCHANGED)) {}

CGdrProxy& getCoreProxy() {
    return s_coreProxy;
}

void gdrSetDispatchObserver(GdrDispatchObserver observer) {
    s_dispatchObserver = observer;
}

void CGdrProxy::setLiveMotionProc(LiveMotionProc proc) {
    s_liveMotionProc = proc;
}

CGdrProxy::LiveMotionProc CGdrProxy::getLiveMotionProc() {
    return s_liveMotionProc;
}

CGdrProxy::CGdrProxy() : m_hInstance(GetModuleHandleW(nullptr)) {
    wcsncpy(m_moduleName, L"glidora_core.dll", ModuleNameLength - 1);
    m_moduleName[ModuleNameLength - 1] = L'\0';
    reset();
}

CGdrProxy::CGdrProxy(const CGdrProxy& other)
    : CWnd(), m_deviceType(other.m_deviceType), m_gain(other.m_gain),
      m_inverseExponent(other.m_inverseExponent), m_callbacks(other.m_callbacks),
      m_driverId(other.m_driverId), m_nonLinearInfo(other.m_nonLinearInfo),
      m_hInstance(other.m_hInstance), m_configDialog(other.m_configDialog),
      m_initialised(other.m_initialised), m_loadedConfigIndex(other.m_loadedConfigIndex),
      m_announcedWindow(other.m_announcedWindow) {
    std::memcpy(m_moduleName, other.m_moduleName, sizeof(m_moduleName));
}

CGdrProxy::~CGdrProxy() {}

void CGdrProxy::reset() {
    m_deviceType = 0;
    m_gain = 1.0f;
    m_inverseExponent = 1.0f;
    std::memset(&m_callbacks, 0, sizeof(m_callbacks));
    m_callbacks.size = sizeof(ZuVidCallbackTable);
    m_driverId = 0;
    m_nonLinearInfo.size = sizeof(ZuVidNonLinearInfo);
    m_nonLinearInfo.linear = 1;
    m_nonLinearInfo.exponent = 1.0f;
    m_configDialog = nullptr;
    m_initialised = 0;
    m_loadedConfigIndex = -1;
    m_announcedWindow = nullptr;
}

void CGdrProxy::copyCallbacks(const ZuVidCallbackTable* callbacks) {
    if (!callbacks)
        return; // nothing offered: every step that needs the driver fails
    const std::uint32_t size = callbacks->size;
    if (size > 0xFFFF) {
        // An old driver's table without size word: the callbacks, then the
        // driver id, the non-linear information and an instance handle.
        const auto* legacy = reinterpret_cast<const ZuVidLegacyCallbackTable*>(callbacks);
        m_callbacks.size = sizeof(std::uint32_t) + sizeof(ZuVidLegacyCallbackTable);
        m_callbacks.log = legacy->log;
        m_callbacks.registerWindow = legacy->registerWindow;
        m_callbacks.getDeviceInfo = legacy->getDeviceInfo;
        m_callbacks.getDeviceName = legacy->getDeviceName;
        m_callbacks.getVersion = legacy->getVersion;
        m_driverId = legacy->driverId;
        m_nonLinearInfo = legacy->nonLinear;
        m_hInstance = legacy->instance;
        return;
    }
    // A shorter table leaves the entries beyond it as they were. Only whole entries are taken:
    // half a function pointer would be called.
    const std::size_t first = offsetof(ZuVidCallbackTable, log);
    const std::size_t entry = sizeof(m_callbacks.log);
    std::size_t bytes = size < sizeof(ZuVidCallbackTable) ? size : sizeof(ZuVidCallbackTable);
    if (bytes > first)
        bytes = first + (bytes - first) / entry * entry;
    else if (bytes > sizeof(m_callbacks.size))
        bytes = sizeof(m_callbacks.size);
    std::memcpy(&m_callbacks, callbacks, bytes);
}

// Field by field: a negative field is too old, and no field spills into the next.
bool CGdrProxy::isSupportedVersion(const ZuVidVersionInfo& version) {
    const std::int32_t required[3] = {4, 0, 6};
    const std::int32_t given[3] = {version.major, version.minor, version.build};
    for (int i = 0; i < 3; ++i) {
        if (given[i] != required[i])
            return given[i] > required[i];
    }
    return true;
}

int CGdrProxy::init(std::uint32_t driverId, const ZuVidCallbackTable* callbacks) {
    m_driverId = driverId;
    copyCallbacks(callbacks);
    if (createCoreWindow() && registerWindow(m_hWnd)) {
        m_announcedWindow = m_hWnd;
        ZuVidVersionInfo version;
        std::memset(&version, 0, sizeof(version));
        if (m_callbacks.getVersion)
            m_callbacks.getVersion(&version);
        if (isSupportedVersion(version)) {
            updateMotionScaling();
            m_initialised = 1;
        }
    }
    if (!m_initialised)
        shutdown();
    return m_initialised;
}

int CGdrProxy::shutdown() {
    DestroyWindow();
    glo_ui::CGdrConfigDialog::close(); // from the dialog's own thread or any other
    reset();
    return 1;
}

int CGdrProxy::createCoreWindow() {
    if (m_hWnd && IsWindow(m_hWnd))
        return 1;
    DestroyWindow(); // forget a handle whose window is gone
    const WNDPROC ours = &CWnd::StandardWindowProc;
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(m_hInstance, GDR_CORE_WINDOW_CLASS, &existing) &&
        existing.lpfnWndProc != ours) {
        // Left behind by an earlier load of this library, whose core window lived on.
        UnregisterClassW(GDR_CORE_WINDOW_CLASS, existing.hInstance);
    }
    if (!GetClassInfoExW(m_hInstance, GDR_CORE_WINDOW_CLASS, &existing)) {
        RegisterWndClass(GDR_CORE_WINDOW_CLASS, CS_GLOBALCLASS, GetResourceInstance(),
                         LoadIconW(nullptr, IDI_APPLICATION), LoadCursorW(nullptr, IDC_ARROW),
                         nullptr);
    }
    const RECT rect = {10, 10, 20, 20};
    // Made unframed and given its framed style afterwards: creating a framed window asks the
    // display for its frame's measures several times, a cost at every start for a window that
    // is never shown. The driver and its window searches see the style they always saw.
    CreateEx(0, GDR_CORE_WINDOW_CLASS, L"", WS_POPUP, rect, nullptr, 0);
    if (m_hWnd)
        SetWindowLongW(m_hWnd, GWL_STYLE, WS_OVERLAPPEDWINDOW);
    // A class that could not be renewed: its window still reaches this object.
    if (m_hWnd && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC)) != ours)
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ours));
    m_deviceType = 0;
    return m_hWnd ? 1 : 0;
}

int CGdrProxy::registerWindow(HWND window) {
    if (!m_callbacks.registerWindow)
        return 0;
    if (canLog()) {
        wchar_t text[1024];
        text[0] = L'\0';
        InternalGetWindowText(window, text, 1024); // no message to a program that may hang
        wchar_t line[kLineCapacity + 1];
        gdrFormatLine(line, kLineCapacity, GDR_LOG_TAG L"Registering HWND 0x%x: Application %ls\n",
                      gdrHex(window), text);
        log(line);
    }
    // A driver that does not answer has not accepted the window.
    std::int32_t status = -1;
    m_callbacks.registerWindow(m_driverId, m_moduleName, window, &status);
    return status == 0 ? 1 : 0;
}

void CGdrProxy::log(const wchar_t* text) const {
    if (m_callbacks.log)
        m_callbacks.log(text);
}

int CGdrProxy::getDeviceType() {
    if (m_deviceType == 0) {
        ZuVidDeviceInfo info;
        std::memset(&info, 0, sizeof(info));
        if (m_callbacks.getDeviceInfo && m_callbacks.getDeviceInfo(m_hWnd, &info) != 0)
            std::memset(&info, 0, sizeof(info));
        m_deviceType = info.deviceType;
    }
    return m_deviceType;
}

void CGdrProxy::getNonLinearInfo(ZuVidNonLinearInfo& info) {
    if (getDeviceType() == 21) {
        info.linear = 0;
        info.exponent = 1.7f;
    } else {
        info.linear = 1;
        info.exponent = 1.0f;
    }
}

void CGdrProxy::updateMotionScaling() {
    getNonLinearInfo(m_nonLinearInfo);
    m_inverseExponent = m_nonLinearInfo.exponent != 0.0f ? 1.0f / m_nonLinearInfo.exponent : 1.0f;
    switch (getDeviceType()) {
    case 14:
    case 15:
    case 16:
    case 19:
        m_gain = 1.2f;
        break;
    case 21:
        if (m_nonLinearInfo.linear)
            m_gain = 0.4117647f;
        else
            m_gain = static_cast<float>(700.0 / std::pow(2000.0, double(m_inverseExponent)));
        break;
    default:
        m_gain = 1.0f;
        break;
    }
}

// Results beyond the int range saturate; the pieces are computed in 64 bits.
int CGdrProxy::scaleAxis(int value) const {
    if (value == 0)
        return 0;
    if (m_deviceType != 21 || m_nonLinearInfo.linear)
        return glo_events::truncToInt(double(value) * double(m_gain));
    const double magnitude =
        double(m_gain) * std::pow(std::fabs(double(value)), double(m_inverseExponent));
    const long long i = glo_events::truncToInt(value < 0 ? -magnitude : magnitude);
    if (i > 40)
        return glo_events::clampToInt(60 + 32 * (i - 40) / 33);
    if (i < -40)
        return glo_events::clampToInt(-60 + 32 * (i + 40) / 33);
    return static_cast<int>(i * 60 / 40);
}

const GloMessageMapEntry* CGdrProxy::GetMessageMap() const {
    static const GloMessageMapEntry map[] = {
        GLO_ON_REGISTERED_MESSAGE(g_gdrMessages.debugEvent, CGdrProxy, OnDebugEvent),
        GLO_ON_REGISTERED_MESSAGE(g_gdrMessages.configChanged, CGdrProxy, OnConfigChanged),
        GLO_ON_REGISTERED_MESSAGE(g_gdrMessages.registerClone, CGdrProxy, OnRegisterClone),
        GLO_ON_REGISTERED_MESSAGE(g_gdrMessages.nonLinearInfoChanged, CGdrProxy,
                                  OnNonLinearInfoChanged),
        GLO_ON_MESSAGE(WM_CLOSE, CGdrProxy, OnClose),
        GLO_END_MESSAGE_MAP()};
    return map;
}

LRESULT CGdrProxy::OnDebugEvent(WPARAM wParam, LPARAM lParam) {
    const auto byteOf = [](std::uint32_t word, int index) {
        return static_cast<int>(static_cast<std::int8_t>((word >> (8 * index)) & 0xFF));
    };
    const auto w = static_cast<std::uint32_t>(wParam);
    const auto l = static_cast<std::uint32_t>(lParam);
    const int s = byteOf(l, 0);
    forwardMotion(byteOf(l, 1) * s, byteOf(l, 2) * s, byteOf(l, 3) * s, byteOf(w, 0) * s,
                  byteOf(w, 1) * s, byteOf(w, 2) * s);
    return 1;
}

LRESULT CGdrProxy::OnConfigChanged(WPARAM, LPARAM) {
    loadConfiguration();
    return 1;
}

LRESULT CGdrProxy::OnRegisterClone(WPARAM wParam, LPARAM) {
    g_gdrCloneWindow = reinterpret_cast<HWND>(wParam);
    return 1;
}

// The driver ends the core window (ZuVidCloseHdl, ZuVidTerm); a stray close must not.
LRESULT CGdrProxy::OnClose(WPARAM, LPARAM) {
    return 0;
}

LRESULT CGdrProxy::OnNonLinearInfoChanged(WPARAM, LPARAM) {
    updateMotionScaling();
    return 1;
}

void forwardButton(int button, int pressed) {
    if (g_gdrCloneWindow)
        PostMessageW(g_gdrCloneWindow, g_gdrMessages.buttonData, static_cast<WPARAM>(button),
                     static_cast<LPARAM>(pressed));
    dispatchToHost(0, 0, 0, 0, 0, 0, button, pressed);
}

void forwardMotion(int x, int y, int z, int a, int b, int c) {
    const CGdrProxy& proxy = getCoreProxy();
    const int sx = proxy.scaleAxis(x);
    const int sy = proxy.scaleAxis(y);
    const int sz = proxy.scaleAxis(z);
    const int sa = proxy.scaleAxis(a);
    const int sb = proxy.scaleAxis(b);
    const int sc = proxy.scaleAxis(c);
    // The plug-ins' sign convention; the most negative value has no opposite and saturates.
    const int nz = glo_events::clampToInt(-static_cast<long long>(sz));
    const int nc = glo_events::clampToInt(-static_cast<long long>(sc));
    if (g_gdrCloneWindow) {
        PostMessageW(g_gdrCloneWindow, g_gdrMessages.motionXYZ, packPair(sx, sy), packHigh(nz));
        PostMessageW(g_gdrCloneWindow, g_gdrMessages.motionABC, packPair(sa, sb), packHigh(nc));
    }
    dispatchToHost(sx, sy, sz, sa, sb, sc, -1, 0);
    HWND dialog = proxy.getConfigDialog();
    if (s_liveMotionProc && dialog && IsWindowVisible(dialog)) {
        const int live[6] = {sx, sy, nz, sa, sb, nc};
        s_liveMotionProc(dialog, live);
    }
}

int createConfigDialog(HWND parent) {
    return glo_ui::CGdrConfigDialog::open(parent) ? 1 : 0;
}
