#include "events/GloConfigFiles.h"

#include <cwchar>
#include <ostream>

#include "GdrConfigFile.h"
#include "GloApplication.h"
#include "GloEventMultiplexer.h"

namespace glo_events {

namespace {

thread_local const wchar_t* t_folder = nullptr;
thread_local bool t_holdWrites = false;

// "C:\...", "C:x", "\\server\...", "\..." do not depend on the working directory's folder.
bool isRelative(const wchar_t* name) {
    return name[0] != L'\\' && name[0] != L'/' && (name[0] == L'\0' || name[1] != L':');
}

void writeMotionSetups(std::ostream& out, void* context) {
    CGlo_EventMultiplexer& multiplexer = *static_cast<CGlo_EventMultiplexer*>(context);
    for (int i = 0; i < multiplexer.getNumberOfConnections(); ++i) {
        CGlo_FunctionSetup* setup = multiplexer.getFunctionSetup(i);
        if (!setup->isButton())
            setup->serialize(out);
    }
}

} // namespace

CConfigFileScope::CConfigFileScope(const wchar_t* folder, bool holdWrites)
    : previousFolder(t_folder), previousHold(t_holdWrites) {
    t_folder = folder != nullptr && folder[0] != L'\0' ? folder : previousFolder;
    t_holdWrites = holdWrites || previousHold;
}

CConfigFileScope::~CConfigFileScope() {
    t_folder = previousFolder;
    t_holdWrites = previousHold;
}

bool configFilePath(const wchar_t* name, wchar_t (&path)[kConfigPathChars]) {
    path[0] = L'\0';
    if (name == nullptr || name[0] == L'\0')
        return false;
    const bool inFolder = t_folder != nullptr && isRelative(name);
    const size_t folder = inFolder ? std::wcslen(t_folder) : 0;
    const size_t length = std::wcslen(name);
    if (folder + 1 + length >= static_cast<size_t>(kConfigPathChars))
        return false;
    size_t at = 0;
    if (inFolder) {
        std::wmemcpy(path, t_folder, folder);
        at = folder;
        if (at > 0 && path[at - 1] != L'\\' && path[at - 1] != L'/')
            path[at++] = L'\\';
    }
    std::wmemcpy(path + at, name, length + 1);
    return true;
}

void saveMotionSetups(CGlo_Application& application, const wchar_t* name,
                      CGlo_EventMultiplexer& multiplexer) {
    if (t_holdWrites)
        return;
    wchar_t path[kConfigPathChars];
    if (!configFilePath(name, path)) {
        application.reportSave(GLO_SaveFailed, GLO_SaveNoFileName, 0, name);
        return;
    }
    glo_config::AtomicWriteFailure failure = {0, false};
    if (glo_config::writeFileAtomicallyW(path, &writeMotionSetups, &multiplexer, &failure)) {
        application.reportSave(GLO_SaveWritten, GLO_SaveNoFailure, 0, path);
        return;
    }
    if (failure.temporaryFile && std::wcslen(path) + 4 < kConfigPathChars)
        std::wcscat(path, L".tmp");
    application.reportSave(GLO_SaveFailed, GLO_SaveCannotWrite, failure.error, path);
}

} // namespace glo_events
