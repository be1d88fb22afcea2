// The core object: the driver's side of the library, owner of the hidden core
// window, the driver's callbacks and the motion scaling.
#pragma once

#include "GloExport.h"
#include "GloWnd.h"
#include "ZuVidDriver.h"

#include <cstdint>

// Names of the registered messages of the core window and the clone window.
#define GDR_MSG_DEBUGEVENT L"WM_VEX_DEBUGEVENT"
#define GDR_MSG_CONFIGCHANGED L"WM_VEX_CONFIGCHANGED"
#define GDR_MSG_REGISTERCLONE L"WM_VEX_REGISTERCLONE"
#define GDR_MSG_MOTIONXYZ L"WM_VEX_MOTIONXYZ"
#define GDR_MSG_MOTIONABC L"WM_VEX_MOTIONABC"
#define GDR_MSG_BUTTONDATA L"WM_VEX_BUTTONDATA"
#define GDR_MSG_NONLINEARINFOCHANGED L"WM_VEX_NONLINEARINFOCHANGED"

// Window class of the hidden core window.
#define GDR_CORE_WINDOW_CLASS L"glidora_wind_class"

// One static instance lives while the library is loaded (getCoreProxy()).
// Copies made by derived classes (the configuration cursor) carry the driver
// state but own no window.
class GLO_API CGdrProxy : public CWnd {
public:
    enum { ModuleNameLength = 64 };

    CGdrProxy();
    virtual ~CGdrProxy();
    CGdrProxy& operator=(const CGdrProxy&) = delete;

    // Copies the callbacks, creates and registers the core window and checks the
    // driver version. 1 when initialised; on failure the proxy is shut down.
    int init(std::uint32_t driverId, const ZuVidCallbackTable* callbacks);
    // Destroys the core window (and the configuration dialog) and resets the
    // driver state. Returns 1.
    int shutdown();
    // Announces `window` to the driver; 1 when the driver accepted it.
    int registerWindow(HWND window);
    // One line to the driver's log; dropped without a log entry.
    void log(const wchar_t* text) const;
    // True when a log entry exists, so callers can skip formatting.
    bool canLog() const { return m_callbacks.log != nullptr; }
    // Device-type code, asked from the driver while it is 0.
    int getDeviceType();
    // Scales one raw device value for everything downstream.
    int scaleAxis(int value) const;
    // Recomputes gain and exponent from the device's non-linear information.
    void updateMotionScaling();
    // Fills the linear flag and exponent for the device type.
    void getNonLinearInfo(ZuVidNonLinearInfo& info);
    // Loads the configuration the driver names (plug-in host).
    int loadConfiguration();
    // Creates the hidden core window unless one exists; 1 when there is one.
    int createCoreWindow();

    std::int32_t getLoadedConfigurationIndex() const { return m_loadedConfigIndex; }
    void setLoadedConfigurationIndex(std::int32_t index) { m_loadedConfigIndex = index; }
    HWND getConfigDialog() const { return m_configDialog; }
    void setConfigDialog(HWND dialog) { m_configDialog = dialog; }
    int isInitialised() const { return m_initialised; }
    // The core window as announced to the driver; it names the core to ZuVidCloseHdl even
    // after the window itself is gone.
    HWND getAnnouncedWindow() const { return m_announcedWindow; }
    // True for driver versions 4.0.6 and later.
    static bool isSupportedVersion(const ZuVidVersionInfo& version);
    std::uint32_t getDriverId() const { return m_driverId; }
    const wchar_t* getModuleName() const { return m_moduleName; }
    float getGain() const { return m_gain; }
    float getInverseExponent() const { return m_inverseExponent; }
    const ZuVidCallbackTable& getCallbacks() const { return m_callbacks; }
    const ZuVidNonLinearInfo& getNonLinearInformation() const { return m_nonLinearInfo; }

    // Live motion for the configuration dialog while it is visible: the scaled
    // values in the sign convention of the plug-ins.
    typedef void (*LiveMotionProc)(HWND dialog, const int values[6]);
    static void setLiveMotionProc(LiveMotionProc proc);
    static LiveMotionProc getLiveMotionProc();

    // Priority handling of the driver's process. The pure rules are separate so
    // that they can be checked where the system applies no priorities.
    static int raiseProcessPriority();
    static void adjustThreadPriority();
    // Priority set for an existing thread from its base priority (process attach).
    static int priorityForBasePriority(int basePriority);
    // Priority of a newly attached thread under the realtime class.
    static int adjustedThreadPriority(int currentPriority);

protected:
    // Copies the driver-facing state; the copy owns no window.
    CGdrProxy(const CGdrProxy& other);

    void reset();
    void copyCallbacks(const ZuVidCallbackTable* callbacks);
    virtual const GloMessageMapEntry* GetMessageMap() const override;

    LRESULT OnDebugEvent(WPARAM wParam, LPARAM lParam);
    LRESULT OnConfigChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnRegisterClone(WPARAM wParam, LPARAM lParam);
    LRESULT OnNonLinearInfoChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

    std::int32_t m_deviceType;
    float m_gain;
    float m_inverseExponent;
    ZuVidCallbackTable m_callbacks;
    std::uint32_t m_driverId;
    ZuVidNonLinearInfo m_nonLinearInfo;
    HINSTANCE m_hInstance;
    HWND m_configDialog;
    std::int32_t m_initialised;
    wchar_t m_moduleName[ModuleNameLength];
    std::int32_t m_loadedConfigIndex;
    HWND m_announcedWindow;
};

// The library's single core object.
GLO_API CGdrProxy& getCoreProxy();

// Decoded events: copies to the clone window, then the plug-in host.
GLO_API void forwardButton(int button, int pressed);
GLO_API void forwardMotion(int x, int y, int z, int a, int b, int c);

// Opens the configuration dialog for `parent` (null: without owner) on the calling thread, which
// must pump messages (normally the thread that called ZuVidInit). With a dialog already open it
// only brings that one forward. 1 when a dialog is open afterwards, else 0. The driver entry
// points never call it; the driver, its control panel or a tool does.
GLO_API int createConfigDialog(HWND parent);
