// The user's key combinations on the device's buttons (CGlo_UserSettings::getButtonKeys): a
// button that carries one sends it in every program that has it, in place of whatever the
// plug-in put on that button. Connected whenever an application's setups are rebuilt, so that
// every plug-in built on the worker thread class gets them without a change of its tables.
#pragma once

#include "GloEventMultiplexer.h"

class CGlo_PluginThread;

namespace glo_runtime {

// The name of the core's own function that sends them; no plug-in function may take it.
extern const wchar_t kUserKeysFunction[];

// Sends `key` with `modifiers` (GLO_KeyModifier) to the window with the keyboard focus.
typedef void (*KeySender)(unsigned modifiers, unsigned key);
// Set by the plug-in base, which knows how to send keys.
void setKeySender(KeySender sender);

// Rebuilds the connections of `program` so that each of its buttons with a key combination runs
// the core's function (on a press, and a release of it does nothing else either), ahead of the
// plug-in's own setups of that button, which are dropped. Nothing changes for a program without
// key combinations. Not on the event path: it may allocate.
void connectUserKeys(const wchar_t* program, CGlo_EventMultiplexer& multiplexer);

// The application whose worker the calling thread is, for one scope of the worker.
class CWorkerScope {
public:
    explicit CWorkerScope(CGlo_PluginThread* application);
    ~CWorkerScope();
    CWorkerScope(const CWorkerScope&) = delete;
    CWorkerScope& operator=(const CWorkerScope&) = delete;
};
// Null on any other thread.
CGlo_PluginThread* workerApplication();

} // namespace glo_runtime
