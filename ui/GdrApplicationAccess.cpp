#include "ui/GdrApplicationAccess.h"

#include "GloApplication.h"
#include "host/GloPluginHost.h"
#include "runtime/GloFaultGuard.h"
#include "ui/GdrFileHandle.h"

#include <windows.h>

namespace glo_ui {

namespace {

// The working directory for one scope.
class CWorkingDirectory {
public:
    explicit CWorkingDirectory(const std::wstring& path) : m_changed(false) {
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, m_previous);
        if (!path.empty() && length > 0 && length < MAX_PATH)
            m_changed = SetCurrentDirectoryW(path.c_str()) != FALSE;
    }
    ~CWorkingDirectory() {
        if (m_changed)
            SetCurrentDirectoryW(m_previous);
    }
    CWorkingDirectory(const CWorkingDirectory&) = delete;
    CWorkingDirectory& operator=(const CWorkingDirectory&) = delete;

private:
    wchar_t m_previous[MAX_PATH];
    bool m_changed;
};

// A file's bytes, or that there was none; put back as they were.
class CSavedFile {
public:
    explicit CSavedFile(const std::wstring& path) : m_path(path), m_existed(read(m_bytes)) {}
    void restore() const {
        std::string now;
        const bool exists = read(now);
        if (!m_existed) {
            if (exists)
                DeleteFileW(m_path.c_str());
            return;
        }
        if (exists && now == m_bytes)
            return;
        CGdrFileHandle file(CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (file.get() != INVALID_HANDLE_VALUE && !m_bytes.empty())
            WriteFile(file.get(), m_bytes.data(), static_cast<DWORD>(m_bytes.size()), &written,
                      nullptr);
    }

private:
    // A configuration file is small; one that is not is left alone.
    static constexpr DWORD kLargest = 1 << 24;

    bool read(std::string& bytes) const {
        CGdrFileHandle file(CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE)
            return false;
        const DWORD size = GetFileSize(file.get(), nullptr);
        if (size == INVALID_FILE_SIZE || size > kLargest)
            return false;
        bytes.resize(size);
        DWORD read = 0;
        return size == 0 || (ReadFile(file.get(), &bytes[0], size, &read, nullptr) && read == size);
    }

    std::wstring m_path;
    std::string m_bytes;
    bool m_existed;
};

// The application's configuration file name as its own serialize() uses it: the base class hands
// it on to a copy.
class CFileNameOf : public CGlo_Application {
public:
    explicit CFileNameOf(const CGlo_Application& application) : CGlo_Application(application) {}
    std::wstring get() const { return configFileName; }

private:
    int match(HWND) override { return 0; }
    int init() override { return 0; }
    int sendevent(CGlo_Event&) override { return 0; }
    int getNumberOfFunctions() override { return 0; }
    CGlo_PluginFunction* queryFunction(const wchar_t*) override { return nullptr; }
    CGlo_PluginFunction* queryFunction(int) override { return nullptr; }
    int setConfiguration(CGlo_FunctionSetup*, int) override { return 0; }
    int setDefaultConfiguration() override { return 0; }
    int setButtonConfiguration() override { return 0; }
};

std::vector<CGlo_FunctionSetup> motionSetups(const std::vector<CGdrEditableSetup>& setups) {
    std::vector<CGlo_FunctionSetup> motion;
    for (const CGdrEditableSetup& setup : setups)
        if (!setup.isButton())
            motion.push_back(setup);
    return motion;
}

int bytesOf(const std::vector<CGlo_FunctionSetup>& setups) {
    return static_cast<int>(setups.size() * sizeof(CGlo_FunctionSetup));
}

void readSetups(CGlo_Application& object, std::vector<CGdrEditableSetup>& into) {
    into.clear();
    const int count = object.getNumberOfConnections();
    for (int i = 0; i < count; ++i)
        if (CGlo_FunctionSetup* setup = object.queryFunctionSetup(i))
            into.emplace_back(*setup);
}

// Runs `call` guarded; a fault is logged by the host and puts the plug-in out of use.
template <class F>
bool guarded(CGlo_Application& object, const std::wstring& name, const wchar_t* where, F call) {
    glo_guard::Fault fault;
    if (glo_guard::call(call, fault, &object))
        return true;
    glo_guard::postReport(&object, name.c_str(), nullptr, where, fault);
    getPluginHost().reportFaults();
    return false;
}

} // namespace

bool readApplication(CGlo_Application& object, CGdrEditedApplication& into) {
    into.functions.clear();
    into.setups.clear();
    return guarded(object, into.name, L"getNumberOfFunctions", [&] {
        const int count = object.getNumberOfFunctions();
        for (int f = 0; f < count; ++f)
            if (CGlo_PluginFunction* function = object.queryFunction(f))
                into.functions.push_back(*function);
        readSetups(object, into.setups);
    });
}

bool applySetups(CGlo_Application& object, const std::wstring& name,
                 const std::vector<CGdrEditableSetup>& setups, const std::wstring& folder) {
    std::vector<CGlo_FunctionSetup> motion = motionSetups(setups);
    CWorkingDirectory here(folder);
    return guarded(object, name, L"setConfiguration", [&] {
        object.setConfiguration(motion.empty() ? nullptr : motion.data(), bytesOf(motion));
        object.serialize();
    });
}

bool readDefaults(CGlo_Application& object, const std::wstring& name, const std::wstring& folder,
                  std::vector<CGdrEditableSetup>& defaults) {
    CWorkingDirectory here(folder);
    const CSavedFile file(CFileNameOf(object).get());
    std::vector<CGdrEditableSetup> own;
    readSetups(object, own);
    std::vector<CGlo_FunctionSetup> motion = motionSetups(own);
    const bool read = guarded(object, name, L"setDefaultConfiguration", [&] {
        object.setDefaultConfiguration();
        readSetups(object, defaults);
        object.setConfiguration(motion.empty() ? nullptr : motion.data(), bytesOf(motion));
    });
    file.restore();
    return read;
}

} // namespace glo_ui
