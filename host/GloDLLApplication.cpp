#include "GloDLLApplication.h"

#include "runtime/GloFaultGuard.h"
#include "runtime/GloWorkerControl.h"

namespace {
// The plug-in's "unload": no arguments, no result, caller-cleans convention.
typedef void (*UnloadProc)();
// How long an unload waits for a worker inside a plug-in function.
const DWORD kStopWaitMs = 1000;
} // namespace

CGlo_DLLApplication::CGlo_DLLApplication()
    : loadedPlugin(nullptr), module(nullptr), registeredWindow(nullptr), focus(nullptr) {}

CGlo_DLLApplication::CGlo_DLLApplication(CGlo_Application* application, HINSTANCE module)
    : loadedPlugin(application), module(module), registeredWindow(nullptr), focus(nullptr) {
    if (application != nullptr)
        setName(application->getName());
}

CGlo_DLLApplication::CGlo_DLLApplication(const CGlo_DLLApplication& other)
    : CGlo_Application(other), loadedPlugin(other.loadedPlugin), module(other.module),
      registeredWindow(other.registeredWindow), focus(other.focus) {}

CGlo_DLLApplication& CGlo_DLLApplication::operator=(const CGlo_DLLApplication& other) {
    if (this != &other) {
        CGlo_Application::operator=(other);
        loadedPlugin = other.loadedPlugin;
        module = other.module;
        registeredWindow = other.registeredWindow;
        focus = other.focus;
    }
    return *this;
}

int CGlo_DLLApplication::match(HWND window) {
    return loadedPlugin != nullptr ? loadedPlugin->match(window) : 0;
}

int CGlo_DLLApplication::init() {
    return loadedPlugin != nullptr ? loadedPlugin->init() : 0;
}

int CGlo_DLLApplication::sendevent(CGlo_Event& event) {
    return loadedPlugin != nullptr ? loadedPlugin->sendevent(event) : 0;
}

int CGlo_DLLApplication::getNumberOfFunctions() {
    return loadedPlugin != nullptr ? loadedPlugin->getNumberOfFunctions() : 0;
}

CGlo_PluginFunction* CGlo_DLLApplication::queryFunction(const wchar_t* name) {
    return loadedPlugin != nullptr ? loadedPlugin->queryFunction(name) : nullptr;
}

CGlo_PluginFunction* CGlo_DLLApplication::queryFunction(int index) {
    return loadedPlugin != nullptr ? loadedPlugin->queryFunction(index) : nullptr;
}

void CGlo_DLLApplication::serialize(CGdrProxy& proxy) {
    if (loadedPlugin != nullptr)
        loadedPlugin->serialize(proxy);
}

void CGlo_DLLApplication::serialize() {
    if (loadedPlugin != nullptr)
        loadedPlugin->serialize();
}

int CGlo_DLLApplication::setConfiguration(CGlo_FunctionSetup* setups, int size) {
    return loadedPlugin != nullptr ? loadedPlugin->setConfiguration(setups, size) : 0;
}

int CGlo_DLLApplication::setDefaultConfiguration() {
    return loadedPlugin != nullptr ? loadedPlugin->setDefaultConfiguration() : 0;
}

void CGlo_DLLApplication::deserialize(CGdrProxy& proxy) {
    if (loadedPlugin != nullptr)
        loadedPlugin->deserialize(proxy);
}

void CGlo_DLLApplication::deserialize() {
    if (loadedPlugin != nullptr)
        loadedPlugin->deserialize();
}

int CGlo_DLLApplication::setButtonConfiguration() {
    return loadedPlugin != nullptr ? loadedPlugin->setButtonConfiguration() : 0;
}

// A worker stuck in a plug-in function (a message to a program that does not answer) must not
// hold the driver up, and its function must still find its library and application when it
// returns: after a bounded wait the worker itself unloads them once it gets back.
void CGlo_DLLApplication::freePlugin() {
    registeredWindow = nullptr;
    if (module == nullptr)
        return;
    if (loadedPlugin != nullptr) {
        // The library owns the application: "unload" frees it, so it is forgotten either way.
        FARPROC proc = GetProcAddress(module, "unload");
        const UnloadProc unload = reinterpret_cast<UnloadProc>(reinterpret_cast<void*>(proc));
        if (CGlo_WorkerControl* worker = CGlo_WorkerControl::find(loadedPlugin)) {
            worker->requestStop();
            const bool left =
                worker->waitForLeave(kStopWaitMs, unload, module) == CGlo_WorkerControl::WorkerLeft;
            worker->release();
            if (!left) {
                loadedPlugin = nullptr;
                module = nullptr;
                return;
            }
        }
        glo_guard::Fault fault;
        if (unload != nullptr &&
            !glo_guard::call(unload, fault, reinterpret_cast<const void*>(unload))) {
            // Code of the library may still be in use: it stays loaded.
            glo_guard::postReport(loadedPlugin, getName(), module, L"unload", fault);
            loadedPlugin = nullptr;
            module = nullptr;
            return;
        }
        loadedPlugin = nullptr;
    }
    FreeLibrary(module);
    module = nullptr;
}

void CGlo_DLLApplication::requestStop() {
    if (CGlo_WorkerControl* worker = CGlo_WorkerControl::find(loadedPlugin)) {
        worker->requestStop();
        worker->release();
    }
}

CGlo_Application* CGlo_DLLApplication::getLoadedPlugin() const {
    return loadedPlugin;
}

HWND CGlo_DLLApplication::getFocus() {
    return focus;
}

void CGlo_DLLApplication::setFocus(HWND window) {
    if (loadedPlugin != nullptr)
        focus = window;
}

HWND CGlo_DLLApplication::getRegisteredWindow() {
    return loadedPlugin != nullptr ? registeredWindow : nullptr;
}

void CGlo_DLLApplication::setRegisteredWindow(HWND window) {
    if (loadedPlugin != nullptr)
        registeredWindow = window;
}
