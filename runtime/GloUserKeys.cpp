#include "runtime/GloUserKeys.h"

#include <windows.h>

#include <new>
#include <vector>

#include "GloPluginThread.h"
#include "GloUserSettings.h"
#include "runtime/GloThreadSlot.h"

namespace glo_runtime {

const wchar_t kUserKeysFunction[] = L"UserKeyCombination";

namespace {

KeySender s_sender = nullptr;

// The application whose worker runs on this thread.
CThreadSlot s_worker __attribute__((init_priority(199)));

// On the worker: the combination of the pressed button in the worker's program, read when it is
// pressed, so that a change the user stored counts from the next press.
void sendUserKeys(const CGlo_Event& event) {
    if (!event.isButtonPressEvent() || s_sender == nullptr)
        return;
    CGlo_PluginThread* application = workerApplication();
    unsigned modifiers = 0, key = 0;
    if (application != nullptr && CGlo_UserSettings::getButtonKeys(
                                      application->getName(), event.getButton(), &modifiers, &key))
        s_sender(modifiers, key);
}

CGlo_PluginFunction s_function(kUserKeysFunction, GLO_ButtonFunction, &sendUserKeys, 0, 0, 0, 0, 0,
                               0, 0, 0, 0, 0, 0, 0, 0);

// A setup's button, which the interface keeps to itself.
class CButtonOf : public CGlo_FunctionSetup {
public:
    explicit CButtonOf(const CGlo_FunctionSetup& setup) : CGlo_FunctionSetup(setup) {}
    int get() const { return isButton() ? button : -1; }
};

struct Connection {
    CGlo_FunctionSetup setup;
    CGlo_PluginFunction* function;
};

} // namespace

void setKeySender(KeySender sender) {
    s_sender = sender;
}

void connectUserKeys(const wchar_t* program, CGlo_EventMultiplexer& multiplexer) {
    unsigned taken = 0; // buttons with a combination, as bits
    for (int button = 0; button < CGlo_UserSettings::MaxButtons; ++button)
        if (CGlo_UserSettings::getButtonKeys(program, button, nullptr, nullptr))
            taken |= 1u << button;
    std::vector<Connection> kept;
    bool had = false; // connections of an earlier rebuild
    try {
        for (int i = 0; i < multiplexer.getNumberOfConnections(); ++i) {
            CGlo_FunctionSetup* setup = multiplexer.getFunctionSetup(i);
            const CGlo_PluginFunction* function =
                static_cast<CGlo_EventMultiplexer::T*>(setup)->function;
            if (function == &s_function) {
                had = true;
                continue;
            }
            const int button = CButtonOf(*setup).get();
            if (button >= 0 && button < CGlo_UserSettings::MaxButtons &&
                (taken & (1u << button)) != 0)
                continue;
            kept.push_back({*setup, static_cast<CGlo_EventMultiplexer::T*>(setup)->function});
        }
    } catch (const std::bad_alloc&) {
        return; // the plug-in's own buttons stay
    }
    if (taken == 0 && !had)
        return;
    multiplexer.clear();
    for (int button = 0; button < CGlo_UserSettings::MaxButtons; ++button)
        if ((taken & (1u << button)) != 0) {
            CGlo_FunctionSetup setup(kUserKeysFunction, GLO_ButtonEvent, button,
                                     GLO_AnyButtonEvent);
            multiplexer.addConnection(setup, &s_function);
        }
    for (Connection& connection : kept)
        multiplexer.addConnection(connection.setup, connection.function);
}

CWorkerScope::CWorkerScope(CGlo_PluginThread* application) {
    s_worker.set(application);
}

CWorkerScope::~CWorkerScope() {
    s_worker.set(nullptr);
}

CGlo_PluginThread* workerApplication() {
    return static_cast<CGlo_PluginThread*>(s_worker.get());
}

} // namespace glo_runtime
