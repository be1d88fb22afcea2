#include "GloEventMultiplexer.h"

#include <new>

#include "events/GloEventMath.h"

using glo_events::absWide;
using glo_events::clampToInt;

static_assert(sizeof(CGlo_EventMultiplexer::T) == (sizeof(void*) == 8 ? 264 : 256),
              "CGlo_EventMultiplexer::T layout");

namespace {
// Derived from the base threshold B = 60: the hysteresis unit Q and the release level R.
const int kBase = 60;
const int kQuarter = kBase >> 2;
const int kRelease = kBase - kQuarter;
const int kFullScale = 350;
const int kFirstCapacity = 8;
const int kMaxCapacity = 1 << 20;
} // namespace

CGlo_EventMultiplexer::CGlo_EventMultiplexer()
    : table(nullptr), count(0), capacity(0), currentAxisConnection(nullptr),
      heldTriggerConnection(nullptr), baseThreshold(kBase) {}

CGlo_EventMultiplexer::CGlo_EventMultiplexer(const CGlo_EventMultiplexer& other)
    : table(nullptr), count(0), capacity(0), currentAxisConnection(nullptr),
      heldTriggerConnection(nullptr), baseThreshold(kBase) {
    copyTable(other);
}

CGlo_EventMultiplexer& CGlo_EventMultiplexer::operator=(const CGlo_EventMultiplexer& other) {
    if (this != &other) {
        releaseTable();
        copyTable(other);
    }
    return *this;
}

CGlo_EventMultiplexer::~CGlo_EventMultiplexer() {
    releaseTable();
}

// The copy gets its own table; the selection state stays behind because it points into the
// source's table, and the next motion events rebuild it.
void CGlo_EventMultiplexer::copyTable(const CGlo_EventMultiplexer& other) {
    baseThreshold = other.baseThreshold;
    currentAxisConnection = nullptr;
    heldTriggerConnection = nullptr;
    if (other.count == 0)
        return;
    void* storage = ::operator new(sizeof(T) * other.count, std::nothrow);
    if (storage == nullptr)
        return;
    table = static_cast<T*>(storage);
    capacity = other.count;
    for (; count < other.count; ++count)
        new (&table[count]) T(other.table[count]);
}

void CGlo_EventMultiplexer::releaseTable() {
    currentAxisConnection = nullptr;
    heldTriggerConnection = nullptr;
    for (int i = 0; i < count; ++i)
        table[i].~T();
    ::operator delete(table);
    table = nullptr;
    count = 0;
    capacity = 0;
}

void CGlo_EventMultiplexer::addConnection(CGlo_FunctionSetup& setup,
                                          CGlo_PluginFunction* function) {
    if (function == nullptr || wcscmp(function->getName(), setup.getName()) != 0)
        return;
    if (count == capacity) {
        if (capacity >= kMaxCapacity)
            return;
        const int grown = capacity == 0 ? kFirstCapacity : capacity * 2;
        void* storage = ::operator new(sizeof(T) * grown, std::nothrow);
        if (storage == nullptr)
            return;
        T* moved = static_cast<T*>(storage);
        // The new element first: the setup may be an element of the old table.
        new (&moved[count]) T(setup, function);
        for (int i = 0; i < count; ++i) {
            new (&moved[i]) T(table[i]);
            table[i].~T();
        }
        ::operator delete(table);
        table = moved;
        capacity = grown;
        // The references pointed into the old storage.
        currentAxisConnection = nullptr;
        heldTriggerConnection = nullptr;
    } else {
        new (&table[count]) T(setup, function);
    }
    ++count;
}

int CGlo_EventMultiplexer::getNumberOfConnections() {
    return count;
}

CGlo_FunctionSetup* CGlo_EventMultiplexer::getFunctionSetup(int index) {
    if (index < 0 || index >= count)
        return nullptr;
    return &table[index];
}

CGlo_PluginFunction* CGlo_EventMultiplexer::getConnectionFunction(int index) {
    if (index < 0 || index >= count)
        return nullptr;
    return table[index].function;
}

void CGlo_EventMultiplexer::clear() {
    releaseTable();
}

bool CGlo_EventMultiplexer::operator<(const CGlo_EventMultiplexer&) const {
    return true;
}

bool CGlo_EventMultiplexer::operator==(const CGlo_EventMultiplexer&) const {
    return false;
}

CGlo_PluginFunction* CGlo_EventMultiplexer::getFunction(CGlo_Event& event) {
    switch (event.getEventType()) {
    case GLO_NoEvent:
        currentAxisConnection = nullptr;
        heldTriggerConnection = nullptr;
        return nullptr;
    case GLO_ButtonEvent:
        return selectButton(event);
    case GLO_MotionEvent:
        return selectMotion(event);
    default:
        return nullptr;
    }
}

// The first connection of the pressed button wins; otherwise the last default handler.
CGlo_PluginFunction* CGlo_EventMultiplexer::selectButton(CGlo_Event& event) {
    T* specific = nullptr;
    T* fallback = nullptr;
    for (int i = 0; i < count; ++i) {
        T& c = table[i];
        if (!c.isButton())
            continue;
        c.setEventData(event);
        if (!c.isButtonEvent())
            continue;
        if (!c.isDefaultButtonHandler()) {
            specific = &c;
            break;
        }
        fallback = &c;
    }
    T* chosen = specific != nullptr ? specific : fallback;
    if (chosen == nullptr)
        return nullptr;
    event = static_cast<const CGlo_Event&>(*chosen);
    return chosen->function;
}

CGlo_PluginFunction* CGlo_EventMultiplexer::selectMotion(CGlo_Event& event) {
    // A fired one-shot stays blocked until its own deflection is back near rest.
    if (heldTriggerConnection != nullptr) {
        heldTriggerConnection->setEventData(event);
        if (heldTriggerConnection->getVectorLength() <= kRelease)
            heldTriggerConnection = nullptr;
    }

    // The running function may move to another of its own connections, or drop out below R.
    if (currentAxisConnection != nullptr) {
        CGlo_PluginFunction* const running = currentAxisConnection->function;
        T* strongest = nullptr;
        int strongestLength = kRelease;
        for (int i = 0; i < count; ++i) {
            T& c = table[i];
            if (c.function != running)
                continue;
            c.setEventData(event);
            if (c.getVectorLength() > strongestLength) {
                strongest = &c;
                strongestLength = c.getVectorLength();
            }
        }
        currentAxisConnection = strongest;
    }

    // Competitors must beat the running function by a third, and anything new must beat B.
    long long bar = kBase;
    if (currentAxisConnection != nullptr) {
        bar = 4LL * currentAxisConnection->getVectorLength() / 3;
        if (bar < kBase)
            bar = kBase;
    }
    T* candidate = currentAxisConnection;
    bool candidatePriority = false;
    for (int i = 0; i < count; ++i) {
        T& c = table[i];
        if (&c == heldTriggerConnection || c.isButton())
            continue;
        c.setEventData(event);
        const long long length = c.getVectorLength();
        if (candidate != nullptr && c.function == candidate->function) {
            if (length + kQuarter > bar) {
                candidate = &c;
                bar = length + kQuarter;
            }
        } else if (length > bar) {
            candidate = &c;
            bar = length + kQuarter;
            candidatePriority = c.isHighPriorityEvent();
        } else if (length > bar - 2 * kQuarter && !candidatePriority) {
            if (c.isHighPriorityEvent()) {
                candidate = &c;
                bar = length + kQuarter;
                candidatePriority = true;
            } else {
                // Two functions of similar strength: run neither.
                candidate = nullptr;
                if (length + kQuarter > bar)
                    bar = length + kQuarter;
            }
        }
    }
    if (candidate == nullptr)
        return nullptr;

    // A motion mainly along axes the candidate does not use is not meant for it.
    if (absWide(event.getDominantAxisVectorLength()) >
        static_cast<long long>(candidate->getRawVectorLength()) + kQuarter)
        return nullptr;

    event = static_cast<const CGlo_Event&>(*candidate);
    if (!event.isMotionEvent())
        return candidate->function;
    if (candidate->function->getFunctionType() == GLO_TriggerFunction)
        heldTriggerConnection = candidate;
    else
        currentAxisConnection = candidate;

    // Rescale past the multiplexer's own dead zone; a chosen function gets at least 1.
    const long long length = event.getVectorLength();
    long long scaled = 1;
    if (length > kBase) {
        scaled = (length - kBase) * kFullScale / (kFullScale - kBase);
        if (scaled == 0)
            scaled = 1;
    }
    event.setVectorLength(clampToInt(scaled));
    if (!event.isMotionEvent()) {
        // Spread over several axes, a short vector truncates to nothing, which would read as
        // "stop": the strongest axis keeps 1 with its sign.
        const CGlo_Event& mapped = *candidate;
        const int strongest = mapped.getDominantAxis();
        int unit[6] = {0, 0, 0, 0, 0, 0};
        unit[strongest] = mapped.getAxis(strongest) < 0 ? -1 : 1;
        event.setData(unit);
    }
    return candidate->function;
}
