// What a plug-in application and its worker thread share about the worker's lifetime. It lives
// apart from the application so that a worker stuck in a plug-in function can come back after
// the application gave up waiting and still find out, without touching the application, whether
// it may go on.
#pragma once

#include <windows.h>

class CGlo_Application;
class CGlo_Event;
class CGlo_PluginThread;

class CGlo_WorkerControl {
public:
    // How a stop ended: the worker left the application, or it is still inside a function.
    enum StopResult { WorkerLeft, WorkerInFunction };
    // The plug-in's "unload", handed to the worker when it cannot be called now.
    typedef void (*UnloadProc)();
    // What the application still has to give back to the user (a button the system refused to
    // let go, a capture a busy program took late for a gesture that has ended), run by the
    // worker before each event it handles, on its give-back timer and once more when it stops.
    // True while something is still owed: it is then tried again within kGiveBackRetryMs.
    typedef bool (*GiveBackProc)(CGlo_PluginThread& application);
    // How long a stop waits for the worker to leave a plug-in function.
    static const DWORD kStopWaitMs = 1000;
    static const DWORD kGiveBackRetryMs = 50;

    // Registered under `owner` so that the host can find the worker of an application. Holds
    // one reference, the application's; null when out of resources. No worker runs yet: a stop
    // or a wait for the worker to leave returns at once until beginWorker().
    static CGlo_WorkerControl* create(CGlo_PluginThread* application);
    // Before the worker's thread is made, once: false when a stop was asked for already, when a
    // worker was begun before, or when `stopSignal` (the application's stop event, duplicated so
    // that it can be set after the application is gone) cannot be kept. On true the control
    // holds a reference for the worker, and the library holding this code stays loaded until
    // the worker ends.
    bool beginWorker(HANDLE stopSignal);
    // After beginWorker(), when the thread could not be made: the worker's share is given back
    // and no worker will run for this control.
    void workerNotStarted();
    // The registered control of `owner` with a reference for the caller, or null.
    static CGlo_WorkerControl* find(const CGlo_Application* owner);
    // Drops one reference; the last one frees the control.
    void release();
    // No longer found under its owner (the application is going away).
    void unregister();

    // The application the worker serves (the worker's own start argument is this control).
    CGlo_PluginThread* getApplication() const { return application; }
    // Sets the application's stop signal. The first request starts the stop's budget: the worker
    // has kStopWaitMs from then on to end what it was doing.
    void requestStop();
    void setGiveBack(GiveBackProc proc);

    // Worker side: runs `function` unless the application is gone; false when the application
    // must not be touched any more (before or after the call). A function that crashes ends
    // the worker's use of the application as well: the fault is reported for the host, and
    // the worker leaves without calling the plug-in again.
    bool call(void (*function)(const CGlo_Event&), const CGlo_Event& event);
    // Worker side: runs the application's give-back, if it has one; what it still owes is
    // tried again on the give-back timer.
    void giveBack();
    // Any thread: the application owes the user something; the worker's give-back runs within
    // kGiveBackRetryMs, without waiting for an event.
    void giveBackSoon();
    // Worker side, as it starts: the one-shot timer it waits on for giveBackSoon(), made by this
    // first call, off the thread that makes the application; null when it could not be made
    // (what is owed is then given back with the next event, and when the worker stops).
    HANDLE giveBackTimer();
    // Worker side, inside a function: the core's own code, which runs no plug-in code and keeps
    // its waits within timeBeforeStop(), touches the application until leaveApplication(). A
    // stop waits for it rather than let the application go under it. False when the
    // application is already gone; nests.
    bool enterApplication();
    void leaveApplication();
    // Milliseconds left of the budget of a stop that was asked for; INFINITE while none was.
    DWORD timeBeforeStop();
    // Worker side: the application is no longer touched from here on.
    void leave();
    // Worker side: whether the application is gone.
    bool isAbandoned();
    // Worker side, after leaving: runs an unload that was handed over, then frees its library
    // unless the unload crashed.
    void runHandedOverUnload();
    // Worker side, last: releases the worker's reference and ends the thread, letting go of the
    // library that holds this code.
    [[noreturn]] void exitWorker(DWORD code);

    // Waits up to `timeoutMs` for the worker to leave, serving messages sent to this thread
    // meanwhile (a function may be waiting on one of its windows). A worker still in plug-in
    // code then is given up: either abandoned (it will not touch the application again) or,
    // when `unload` is given, handed the unload of the application and its library, which it
    // runs once it has left. A worker in the core's own code (between functions, or inside
    // enterApplication()) touches the application and ends soon after the stop's budget: it is
    // waited for until it leaves, or, with an unload to hand over, up to a hard limit (the
    // application then lives on until the worker has left it).
    StopResult waitForLeave(DWORD timeoutMs, UnloadProc unload = nullptr,
                            HMODULE library = nullptr);
    // Called on the worker itself (a function stopping or destroying its own application):
    // the worker leaves without touching the application once the function returns.
    void abandonFromWorker();

private:
    explicit CGlo_WorkerControl(CGlo_PluginThread* application);
    ~CGlo_WorkerControl();
    CGlo_WorkerControl(const CGlo_WorkerControl&) = delete;
    CGlo_WorkerControl& operator=(const CGlo_WorkerControl&) = delete;

    enum Phase { NotBegun, InApplication, InFunction, Left };

    volatile LONG references;
    CRITICAL_SECTION lock;
    HANDLE leftSignal;  // manual reset; made by the first wait for the worker to leave
    HANDLE stopSignal;  // a duplicate of the application's
    HANDLE retryTimer;  // one-shot, automatic reset; made by giveBackTimer(), else null
    HMODULE codeModule; // pinned while the worker runs; null when it is the program itself
    Phase phase;
    int ownCodeDepth; // enterApplication() not yet left
    bool abandoned;
    bool stopRequested;
    ULONGLONG stopDeadline; // GetTickCount64
    GiveBackProc giveBackProc;
    UnloadProc handedOverUnload;
    HMODULE handedOverLibrary;
    CGlo_PluginThread* const application;
    const CGlo_Application* owner; // registry key; null once unregistered
    CGlo_WorkerControl* next;      // registry list
};
