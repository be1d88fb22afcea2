// Plug-in worker thread: an application base that keeps only the latest device event and runs
// the function its multiplexer chooses on a worker thread of its own, repeating continuous
// functions every repeat period while the cap stays deflected.
#pragma once

#include <windows.h>

#include "GloApplication.h"
#include "GloEvent.h"
#include "GloExport.h"
#include "GloFunctionSetup.h"
#include "GloPluginFunction.h"
#include "VexSync.h"

class CGlo_WorkerControl;

class GLO_API CGlo_PluginThread : public CGlo_Application {
public:
    // The worker thread starts with the first event (sendevent), not here.
    CGlo_PluginThread();
    CGlo_PluginThread(const CGlo_PluginThread&) = delete;
    CGlo_PluginThread& operator=(const CGlo_PluginThread&) = delete;
    // Stops the worker (see stopWorkerThread).
    virtual ~CGlo_PluginThread();

    // Resets the event state (zero event, no current or last function, count 0); returns 1.
    int init() override;
    // Stores the event as the latest one and wakes the worker, started by the first event; any
    // thread. A motion shorter than the small-movement threshold is turned into a zero event in
    // place.
    int sendevent(CGlo_Event& event) override;
    int getNumberOfFunctions() override;
    // First function of exactly that name, or null.
    CGlo_PluginFunction* queryFunction(const wchar_t* name) override;
    // Null outside 0 .. count - 1.
    CGlo_PluginFunction* queryFunction(int index) override;
    // Write the motion setups (button setups are rebuilt on every load).
    void serialize(CGdrProxy& proxy) override;
    void serialize() override;
    // Replaces the connections: button setups first, then the given ones (size in bytes).
    int setConfiguration(CGlo_FunctionSetup* setups, int size) override;
    // setConfiguration with the stored default configuration.
    int setDefaultConfiguration() override;
    // The inherited readers, kept apart from the worker's selection.
    void deserialize(CGdrProxy& proxy) override;
    void deserialize() override;

    // The application's function table; size in bytes (whole records count).
    int setFunctions(CGlo_PluginFunction* functions, int size);
    // The built-in setups; size in bytes.
    int initDefaultConfiguration(CGlo_FunctionSetup* setups, int size);
    // Repeats per second at the current repeat period (100 by default).
    long getEventRate();
    long getMaxCapValue();
    long getMinCapValue();
    // Milliseconds of the high-resolution counter (tick count without one).
    LONGLONG getMilliSeconds();

protected:
    // Adds the fixed button setups without clearing; returns 1.
    int setButtonConfiguration() override;
    int initButtonConfiguration(CGlo_FunctionSetup* setups, int size);
    long getEventCount();
    // Stops the worker; idempotent. Derived classes whose members the functions use call it
    // first in their destructor. A function that was running first ends (the last function
    // hears a zero event), then the worker leaves this object. The wait is bounded: a worker
    // still inside a function after a second is let go and never touches this object again
    // (the function itself must not use the object once it returns). Called from a function
    // on the worker itself (a function that stops or destroys its own application), the
    // worker leaves without touching the object as soon as that function returns.
    void stopWorkerThread();

    // The worker and what it waits on: null (0) until the first event.
    HANDLE workerThread;
    DWORD workerThreadId;
    HANDLE repeatTimer;               // automatic reset, one-shot
    _Vex::CEvent eventReady;          // automatic reset
    _Vex::CEvent stopSignal;          // automatic reset
    _Vex::CCriticalSection eventLock; // latest event, its time, zero flag, count
    LONGLONG counterFrequency;        // counts per second; 0 without a high-resolution counter
    LONGLONG latestEventTime;         // 100 ns units
    bool zeroEventFlag;
    LONGLONG repeatPeriod; // 100 ns units
    int numberOfFunctions;
    CGlo_PluginFunction* lastFunction;
    CGlo_PluginFunction* functionTable;
    CGlo_PluginFunction* currentFunction;
    CGlo_Event latestEvent;
    int eventCount;
    double smallMovementThreshold;
    CGlo_FunctionSetup* defaultConfiguration;
    int defaultConfigurationSize; // bytes
    CGlo_FunctionSetup* buttonConfiguration;
    int buttonConfigurationSize; // bytes
    // Kept apart: configuration changes and the worker's selection of a function. Never held
    // while a plug-in function runs, so a function blocked in a window message delays no
    // configuration change.
    _Vex::CCriticalSection configLock;
    // What the worker and this object share about the worker's lifetime.
    CGlo_WorkerControl* workerControl;

private:
    void getEvent(CGlo_Event& event);
    CGlo_Event& filterSmallMovements(CGlo_Event& event);
    void resetEventTimer();
    BOOL isEventMissing();
    // Runs the chosen function, a continuous one at `speed` (thousandths of the normal speed);
    // the control says afterwards whether this object may still be touched.
    GLO_EventType execute(CGlo_Event& event, CGlo_WorkerControl& control, int speed);
    // The worker's loop; returns once the worker has left this object.
    void work(CGlo_WorkerControl& control);
    LONGLONG calculateTimeout();
    CGlo_PluginFunction* getFunction();
    CGlo_PluginFunction* getLastFunction();
    // Now, in 100 ns units.
    LONGLONG now();
    void connect(CGlo_FunctionSetup* setups, int size);

    // Makes the worker's thread and what it waits on, once; under the event lock.
    void startWorker();
    static DWORD WINAPI PluginThread(LPVOID param);
};
