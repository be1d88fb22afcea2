// A driver home of the test's own with its plug-in folder, named in the registry as the driver's
// installer names it (without trailing backslash), and a user's application-data folder of its
// own (APPDATA, where the shipped plug-ins keep each user's setups). Everything is removed and
// restored again at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace glotest {

class PluginHome {
public:
    // A folder `name`_<process id> in the temporary folder; `withFolder` creates "Office\Plugins".
    // Files left in it by an earlier run (process ids repeat under Wine) are removed first.
    explicit PluginHome(const std::wstring& name, bool withFolder = true);
    ~PluginHome();
    PluginHome(const PluginHome&) = delete;
    PluginHome& operator=(const PluginHome&) = delete;

    // Copies a plug-in the build put in ../plugins to `path` (default: the plug-in folder).
    std::wstring add(const wchar_t* fixture, std::wstring path = L"");
    // Copies the ten shipped plug-ins into the plug-in folder, as a user installs them.
    void addShipped();
    // Copies the library `source` into the plug-in folder; returns its path there.
    std::wstring addFile(const std::wstring& source, const std::wstring& name);

    static void setHome(const std::wstring& value);
    static void removeHome();

    std::wstring home, plugins; // plugins ends with a backslash
    std::wstring userSettings;  // %APPDATA%\Glidora\, ends with a backslash
    std::vector<std::wstring> files;

private:
    std::wstring appData, previousAppData;
};

// A file's bytes ("" when there is none), and a file written anew.
std::string readFile(const std::wstring& path);
void writeFile(const std::wstring& path, const std::string& bytes);
// The folder of the test programs.
std::wstring programFolder();

} // namespace glotest
