#include "ui/GdrApplicationAccess.h"

#include "GloLoadedPrograms.h"
#include "config/AtomicFileWriter.h"
#include "events/GloConfigFiles.h"
#include "runtime/GloFaultGuard.h"
#include "ui/GdrFileHandle.h"

#include <windows.h>

namespace glo_ui {

namespace {

// A file's bytes, or that there was none, or that it could not be read; put back as it was.
class CSavedFile {
public:
    explicit CSavedFile(const wchar_t* path) : m_path(path), m_state(read(m_bytes)) {}
    void restore() const {
        if (m_state == Unreadable || m_path.empty())
            return; // what it held is unknown: left as it is, never taken for "no file"
        std::string now;
        const State state = read(now);
        if (m_state == Missing) {
            if (state != Missing)
                DeleteFileW(m_path.c_str());
            return;
        }
        if (state == Read && now == m_bytes)
            return;
        glo_config::writeBytesAtomically(m_path.c_str(), m_bytes, nullptr);
    }

private:
    enum State { Missing, Unreadable, Read };
    // A configuration file is small; one that is not is left alone.
    static constexpr DWORD kLargest = 1 << 24;

    State read(std::string& bytes) const {
        if (m_path.empty())
            return Unreadable;
        CGdrFileHandle file(CreateFileW(m_path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Missing
                                                                                  : Unreadable;
        }
        const DWORD size = GetFileSize(file.get(), nullptr);
        if (size == INVALID_FILE_SIZE || size > kLargest)
            return Unreadable;
        try {
            bytes.resize(size);
        } catch (...) {
            return Unreadable;
        }
        DWORD got = 0;
        return size == 0 || (ReadFile(file.get(), &bytes[0], size, &got, nullptr) && got == size)
                   ? Read
                   : Unreadable;
    }

    std::wstring m_path;
    std::string m_bytes;
    State m_state;
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
    gloReportProgramFaults();
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

SaveOutcome applySetups(CGlo_Application& object, const std::wstring& name,
                        const std::vector<CGdrEditableSetup>& setups, const std::wstring& folder) {
    std::vector<CGlo_FunctionSetup> motion = motionSetups(setups);
    const glo_events::CConfigFileScope files(folder.c_str(), false);
    object.clearSaveReport();
    SaveOutcome outcome = {SaveOutcome::Saved, {}};
    if (!guarded(object, name, L"setConfiguration", [&] {
            object.setConfiguration(motion.empty() ? nullptr : motion.data(), bytesOf(motion));
            object.serialize();
        })) {
        outcome.kind = SaveOutcome::Crashed;
        return outcome;
    }
    outcome.report = object.getSaveReport();
    if (outcome.report.outcome == GLO_SaveFailed)
        outcome.kind = SaveOutcome::NotSaved;
    return outcome;
}

bool readDefaults(CGlo_Application& object, const std::wstring& name, const std::wstring& folder,
                  std::vector<CGdrEditableSetup>& defaults) {
    const glo_events::CConfigFileScope files(folder.c_str(), true);
    wchar_t path[glo_events::kConfigPathChars];
    glo_events::configFilePath(CFileNameOf(object).get().c_str(), path);
    const CSavedFile file(path);
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

bool rebuildConnections(CGlo_Application& object, const std::wstring& name,
                        const std::wstring& folder) {
    const glo_events::CConfigFileScope files(folder.c_str(), true);
    wchar_t path[glo_events::kConfigPathChars];
    glo_events::configFilePath(CFileNameOf(object).get().c_str(), path);
    const CSavedFile file(path);
    const bool rebuilt = guarded(object, name, L"setConfiguration", [&] {
        std::vector<CGdrEditableSetup> own;
        readSetups(object, own);
        std::vector<CGlo_FunctionSetup> motion = motionSetups(own);
        object.setConfiguration(motion.empty() ? nullptr : motion.data(), bytesOf(motion));
    });
    file.restore();
    return rebuilt;
}

} // namespace glo_ui
