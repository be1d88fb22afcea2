// The core object's configuration reload: the plug-in host's search by name.
#include "GdrConfigFile.h"
#include "GdrProxy.h"
#include "GloLoadedPrograms.h"

#include "host/GloPluginHost.h"
#include "log/GdrLog.h"
#include "runtime/GloFaultGuard.h"

#include <string>

namespace {
const std::size_t kLineCapacity = 511;
const WPARAM kConfigurationLoaded = MAKEWPARAM(GLO_ProgramsNotifyId, GLO_ConfigurationReloaded);
} // namespace

int CGdrProxy::loadConfiguration() {
    // The exchange names the application whose configuration changed.
    std::wstring name;
    {
        CGdrConfigFile file(*this);
        if (file.open()) {
            if (!file.readItem(name))
                name.clear();
            file.close();
        }
    }

    CGlo_PluginHost& host = getPluginHost();
    m_loadedConfigIndex = host.findApplication(name.c_str());
    CGlo_Application* application = host.getLoadedPlugin(m_loadedConfigIndex);

    if (canLog()) {
        wchar_t line[kLineCapacity + 1];
        gdrFormatLine(line, kLineCapacity,
                      GDR_LOG_TAG L"Loading Configuration for Plugin %ls ID=0x%x\n", name.c_str(),
                      gdrHex(application));
        log(line);
    }
    if (application) {
        auto reload = [&] { application->deserialize(*this); };
        glo_guard::Fault fault;
        if (!glo_guard::call(reload, fault, application)) {
            glo_guard::postReport(application, name.c_str(), nullptr, L"deserialize", fault);
            host.reportFaults();
        }
    }
    if (m_configDialog && IsWindow(m_configDialog))
        SendMessageW(m_configDialog, WM_COMMAND, kConfigurationLoaded,
                     reinterpret_cast<LPARAM>(m_hWnd));
    return 1;
}
