// Event connections and the multiplexer that picks, for every device event, at most one
// plug-in function of an application, with hysteresis between events.
#pragma once

#include <iosfwd>

#include "GloExport.h"
#include "GloEvent.h"
#include "GloFunctionSetup.h"
#include "GloPluginFunction.h"

class CGdrConfigFile;

// A function setup together with the event it last mapped: the event part holds the
// function-axis values of the last raw event taken through the setup.
class GLO_API CGlo_EventConnection : public CGlo_Event, public CGlo_FunctionSetup {
public:
    CGlo_EventConnection(const wchar_t* name, GLO_EventType type);
    CGlo_EventConnection(CGlo_FunctionSetup& setup);
    CGlo_EventConnection(CGlo_EventConnection& other);
    CGlo_EventConnection& operator=(const CGlo_EventConnection& other);
    // Takes the setup and clears the mapped event.
    CGlo_EventConnection& operator=(const CGlo_FunctionSetup& setup);

    // Maps one raw device event through the setup into the event part.
    void setEventData(CGlo_Event& event);
    void setEventData(int a0, int a1, int a2, int a3, int a4, int a5, int button, int state);
    void zeroEventData();
    // Length of the mapped axes before the dead zone.
    int getRawVectorLength() const;
    // The setup uses device axis 1 in its positive direction, or device axis 4.
    bool isHighPriorityEvent() const;

protected:
    int mappedAxes[6]; // device values per function axis, polarity applied
    int rawVectorLength;
    bool highPriority;
};

// The connection table of one application. Not locked: callers keep configuration changes
// and selection apart.
class GLO_API CGlo_EventMultiplexer {
public:
    // Table element: a connection and the function its setup names (not owned).
    struct T : public CGlo_EventConnection {
        T(CGlo_FunctionSetup& setup, CGlo_PluginFunction* f)
            : CGlo_EventConnection(setup), function(f) {}
        CGlo_PluginFunction* function;
    };

    CGlo_EventMultiplexer();
    // Copies start without a current or held connection.
    CGlo_EventMultiplexer(const CGlo_EventMultiplexer& other);
    CGlo_EventMultiplexer& operator=(const CGlo_EventMultiplexer& other);
    ~CGlo_EventMultiplexer();

    // Appends a connection when function is not null and carries the setup's name.
    void addConnection(CGlo_FunctionSetup& setup, CGlo_PluginFunction* function);
    int getNumberOfConnections();
    // Setup of element index, null outside the table.
    CGlo_FunctionSetup* getFunctionSetup(int index);
    // The function element index runs, null outside the table.
    CGlo_PluginFunction* getConnectionFunction(int index);
    // Picks the function for a device event, or null; when a function is returned, event is
    // rewritten into that function's axes and scaled for it (a motion stays a motion of at least
    // length 1). Allocates nothing.
    CGlo_PluginFunction* getFunction(CGlo_Event& event);
    void clear();

    // Every connection's setup in table order.
    void serialize(std::ostream& out);
    void serialize(CGdrConfigFile& configFile);

    // Let multiplexers live in standard containers; they carry no ordering.
    bool operator<(const CGlo_EventMultiplexer& other) const;
    bool operator==(const CGlo_EventMultiplexer& other) const;

private:
    CGlo_PluginFunction* selectButton(CGlo_Event& event);
    CGlo_PluginFunction* selectMotion(CGlo_Event& event);
    void copyTable(const CGlo_EventMultiplexer& other);
    void releaseTable();

    T* table;     // connections in insertion order
    int count;    // elements in use
    int capacity; // elements allocated
    T* currentAxisConnection;
    T* heldTriggerConnection;
    int baseThreshold;
};
