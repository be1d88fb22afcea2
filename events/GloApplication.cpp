#include "GloApplication.h"

#include <fstream>
#include <string>

#include "GdrConfigFile.h"

namespace {
const int kMaxNameChars = 251;
const int kMaxPathBytes = 260; // 259 bytes and the terminator

// The file name in the system's ANSI code page; false when it does not fit or convert.
bool narrowFileName(const wchar_t* wide, char (&out)[kMaxPathBytes]) {
    out[0] = '\0';
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, out, kMaxPathBytes, nullptr, nullptr);
    if (n <= 1) {
        out[0] = '\0';
        return false;
    }
    return true;
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

CGlo_Application::~CGlo_Application() {}

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
    char fileName[kMaxPathBytes];
    if (!narrowFileName(configFileName, fileName))
        return;
    // Written to a temporary file first: a failed write leaves the user's file as it was.
    glo_config::writeFileAtomically(fileName, [this](std::ostream& out) {
        for (int i = 0; i < multiplexer.getNumberOfConnections(); ++i)
            if (!multiplexer.getFunctionSetup(i)->isButton())
                multiplexer.getFunctionSetup(i)->serialize(out);
    });
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
    char fileName[kMaxPathBytes];
    std::ifstream in;
    if (narrowFileName(configFileName, fileName))
        in.open(fileName, std::ios::in | std::ios::binary); // text mode ends at a 0x1A byte
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
