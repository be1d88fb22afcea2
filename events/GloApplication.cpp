#include "GloApplication.h"

#include <fstream>
#include <string>

#include "GdrConfigFile.h"
#include "events/GloConfigFiles.h"

namespace {
const int kMaxNameChars = 251;

// The save reports, kept apart from the applications, whose layout plug-ins have compiled in.
// A fixed table: reporting allocates nothing and cannot fail; when more applications report
// than it holds, the oldest report goes.
struct SaveReportSlot {
    const CGlo_Application* owner;
    GLO_SaveReport report;
};
const int kReportSlots = 64;
SaveReportSlot s_reports[kReportSlots];
int s_nextReportSlot = 0;
SRWLOCK s_reportLock = SRWLOCK_INIT;

class CReportLock {
public:
    CReportLock() { AcquireSRWLockExclusive(&s_reportLock); }
    ~CReportLock() { ReleaseSRWLockExclusive(&s_reportLock); }
    CReportLock(const CReportLock&) = delete;
    CReportLock& operator=(const CReportLock&) = delete;
};

SaveReportSlot* reportSlotOf(const CGlo_Application* owner) {
    for (SaveReportSlot& slot : s_reports)
        if (slot.owner == owner)
            return &slot;
    return nullptr;
}

GLO_SaveReport notReported() {
    GLO_SaveReport report;
    report.outcome = GLO_SaveNotReported;
    report.failure = GLO_SaveNoFailure;
    report.error = 0;
    report.file[0] = L'\0';
    return report;
}
} // namespace

CGlo_Application::CGlo_Application() {
    for (int i = 0; i < 256; ++i) {
        name[i] = L'\0';
        configFileName[i] = L'\0';
    }
}

CGlo_Application::CGlo_Application(const CGlo_Application& other) : multiplexer(other.multiplexer) {
    for (int i = 0; i < 256; ++i) {
        name[i] = other.name[i];
        configFileName[i] = other.configFileName[i];
    }
}

CGlo_Application& CGlo_Application::operator=(const CGlo_Application& other) {
    if (this != &other) {
        for (int i = 0; i < 256; ++i) {
            name[i] = other.name[i];
            configFileName[i] = other.configFileName[i];
        }
        multiplexer = other.multiplexer;
    }
    return *this;
}

// A later application at the same address must not find this one's report.
CGlo_Application::~CGlo_Application() {
    clearSaveReport();
}

void CGlo_Application::setName(const wchar_t* newName) {
    int i = 0;
    if (newName != nullptr)
        for (; i < kMaxNameChars && newName[i] != L'\0'; ++i)
            name[i] = newName[i];
    for (int j = i; j <= kMaxNameChars; ++j)
        name[j] = L'\0';

    // At most 251 characters and ".cfg" always fit the 256 of the file name.
    static const wchar_t kExtension[] = L".cfg";
    int k = 0;
    for (; k < i; ++k)
        configFileName[k] = name[k];
    for (int e = 0; kExtension[e] != L'\0'; ++e)
        configFileName[k++] = kExtension[e];
    for (; k < 256; ++k)
        configFileName[k] = L'\0';
}

const wchar_t* CGlo_Application::getName() const {
    return name;
}

CGlo_EventMultiplexer& CGlo_Application::getMultiplexer() {
    return multiplexer;
}

int CGlo_Application::getNumberOfConnections() {
    return multiplexer.getNumberOfConnections();
}

CGlo_FunctionSetup* CGlo_Application::queryFunctionSetup(int index) {
    return multiplexer.getFunctionSetup(index);
}

// Both writers leave out the button setups: every load rebuilds them with
// setButtonConfiguration() before the stored records, so stored ones would double each time.
void CGlo_Application::serialize() {
    if (multiplexer.getNumberOfConnections() == 0)
        return;
    glo_events::saveMotionSetups(*this, configFileName, multiplexer);
}

void CGlo_Application::reportSave(int outcome, int failure, unsigned long error,
                                  const wchar_t* file) {
    CReportLock lock;
    SaveReportSlot* slot = reportSlotOf(this);
    if (slot == nullptr) {
        slot = reportSlotOf(nullptr);
        if (slot == nullptr) {
            slot = &s_reports[s_nextReportSlot];
            s_nextReportSlot = (s_nextReportSlot + 1) % kReportSlots;
        }
    }
    slot->owner = this;
    slot->report.outcome = outcome;
    slot->report.failure = failure;
    slot->report.error = error;
    const int capacity = static_cast<int>(sizeof(slot->report.file) / sizeof(wchar_t));
    int i = 0;
    for (; file != nullptr && i < capacity - 1 && file[i] != L'\0'; ++i)
        slot->report.file[i] = file[i];
    slot->report.file[i] = L'\0';
}

GLO_SaveReport CGlo_Application::getSaveReport() const {
    CReportLock lock;
    const SaveReportSlot* slot = reportSlotOf(this);
    return slot != nullptr ? slot->report : notReported();
}

void CGlo_Application::clearSaveReport() {
    CReportLock lock;
    if (SaveReportSlot* slot = reportSlotOf(this))
        slot->owner = nullptr;
}

namespace {

// A stored setup joins the table only when it is valid and names a function the application has.
void connectStoredSetup(CGlo_Application& application, CGlo_EventMultiplexer& multiplexer,
                        CGlo_FunctionSetup& setup) {
    if (!setup.IsValid())
        return;
    if (CGlo_PluginFunction* function = application.queryFunction(setup.getName()))
        multiplexer.addConnection(setup, function);
}

} // namespace

void CGlo_Application::deserialize() {
    wchar_t path[glo_events::kConfigPathChars];
    std::ifstream in;
    if (glo_events::configFilePath(configFileName, path))
        in.open(path, std::ios::in | std::ios::binary); // text mode ends at a 0x1A byte
    if (!in.is_open()) {
        setDefaultConfiguration();
        return;
    }
    multiplexer.clear();
    setButtonConfiguration();
    while (!in.eof() && !in.fail()) {
        CGlo_FunctionSetup setup(L"", GLO_NoEvent);
        setup.deserialize(in);
        connectStoredSetup(*this, multiplexer, setup);
    }
}

void CGlo_Application::serialize(CGdrProxy& proxy) {
    CGdrConfigFile configFile(proxy);
    if (!configFile.open())
        return;
    configFile.writeItem(std::wstring(name));
    configFile.writeItem(std::wstring(CGdrConfigFile::EndOfRecord));
    for (int i = 0; i < multiplexer.getNumberOfConnections(); ++i)
        if (!multiplexer.getFunctionSetup(i)->isButton())
            multiplexer.getFunctionSetup(i)->serialize(configFile);
    configFile.clearRemaining();
    configFile.close();
}

void CGlo_Application::deserialize(CGdrProxy& proxy) {
    CGdrConfigFile configFile(proxy);
    if (!configFile.open())
        return;
    // The stored configuration may belong to another application.
    std::wstring first;
    if (!configFile.readItem(first) || first != name) {
        configFile.close();
        return;
    }
    multiplexer.clear();
    setButtonConfiguration();
    while (configFile.hasMoreSections()) {
        CGlo_FunctionSetup setup(L"", GLO_NoEvent);
        setup.deserialize(configFile);
        connectStoredSetup(*this, multiplexer, setup);
    }
    configFile.close();
}
