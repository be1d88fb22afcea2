// The exports of GloLoadedPrograms.h: the host's table for readers outside the host.
#include "GloLoadedPrograms.h"

#include "GloEvent.h"
#include "host/GloDriverSide.h"
#include "host/GloPluginHost.h"

#include <algorithm>
#include <cwchar>

int gloLoadedProgramCount() {
    return std::max(0, getPluginHost().getNumberOfPlugins());
}

int gloLoadedProgramName(int index, wchar_t* name, int capacity) {
    if (name == nullptr || capacity <= 0)
        return -1;
    name[0] = L'\0';
    CGlo_PluginHost& host = getPluginHost();
    if (index < 0 || index >= host.getNumberOfPlugins())
        return -1;
    const wchar_t* source = host.getApplicationName(index);
    int length = 0;
    for (; length < capacity - 1 && source[length] != L'\0'; ++length)
        name[length] = source[length];
    name[length] = L'\0';
    return length;
}

CGlo_Application* gloLoadedProgramApplication(int index) {
    return getPluginHost().getLoadedPlugin(index);
}

unsigned gloLoadedProgramGeneration(int index) {
    return getPluginHost().getLoadGeneration(index);
}

unsigned gloLoadedProgramTableGeneration() {
    return getPluginHost().getTableGeneration();
}

int gloProgramInFront() {
    CGlo_Event asked;
    CGlo_PluginHost& host = getPluginHost();
    return host.indexOf(host.findEventTarget(asked));
}

int gloReloadedProgram() {
    return glo_host::reloadedProgram();
}

void gloReportProgramFaults() {
    getPluginHost().reportFaults();
}

void gloAttachConfigurationWindow(HWND window, GloLiveMotionProc proc) {
    glo_host::setConfigDialog(window);
    glo_host::setLiveMotionProc(proc);
}

void gloDetachConfigurationWindow(HWND window, GloLiveMotionProc proc) {
    if (window != nullptr && glo_host::configDialog() == window)
        glo_host::setConfigDialog(nullptr);
    if (proc != nullptr && glo_host::liveMotionProc() == proc)
        glo_host::setLiveMotionProc(nullptr);
}
