#include "GloPluginFunction.h"

#include "events/GloCoreModule.h"
#include "events/GloNameCopy.h"
#include "events/GloPluginTextLookup.h"

static_assert(sizeof(GLO_FunctionType) == 4, "GLO_FunctionType is 32-bit");
static_assert(sizeof(CGlo_PluginFunction) == 120 + sizeof(void*), "CGlo_PluginFunction layout");

CGlo_PluginFunction::CGlo_PluginFunction(const wchar_t* name, GLO_FunctionType type,
                                         void (*function)(const CGlo_Event&), int descriptionId,
                                         int axis0Positive, int axis0Negative, int axis1Positive,
                                         int axis1Negative, int axis2Positive, int axis2Negative,
                                         int axis3Positive, int axis3Negative, int axis4Positive,
                                         int axis4Negative, int axis5Positive, int axis5Negative)
    : descriptionId(descriptionId), axisDescriptionIds{axis0Positive, axis0Negative, axis1Positive,
                                                       axis1Negative, axis2Positive, axis2Negative,
                                                       axis3Positive, axis3Negative, axis4Positive,
                                                       axis4Negative, axis5Positive, axis5Negative},
      functionType(type), function(function) {
    glo_events::copyName(this->name, name);
}

CGlo_PluginFunction::CGlo_PluginFunction(const CGlo_PluginFunction& other) {
    *this = other;
}

CGlo_PluginFunction& CGlo_PluginFunction::operator=(const CGlo_PluginFunction& other) {
    for (int i = 0; i < 32; ++i)
        name[i] = other.name[i];
    descriptionId = other.descriptionId;
    for (int i = 0; i < 12; ++i)
        axisDescriptionIds[i] = other.axisDescriptionIds[i];
    functionType = other.functionType;
    function = other.function;
    return *this;
}

const wchar_t* CGlo_PluginFunction::getName() const {
    return name;
}

GLO_FunctionType CGlo_PluginFunction::getFunctionType() const {
    return functionType;
}

void (*CGlo_PluginFunction::getFunction() const)(const CGlo_Event&) {
    return function;
}

int CGlo_PluginFunction::getNumberOfAxes() const {
    return functionType >= 1 && functionType <= 6 ? static_cast<int>(functionType) : 0;
}

// LoadStringW with a capacity of 0 would store a pointer into the buffer instead of text, and
// a missing string leaves the buffer untouched: both are kept away from callers. Identifiers
// beyond the string table are the texts plug-ins registered.
static wchar_t* loadDescription(int id, wchar_t* buffer, int bufferBytes) {
    if (buffer == nullptr || bufferBytes < static_cast<int>(sizeof(wchar_t)))
        return buffer;
    buffer[0] = L'\0';
    if (id >= 0 && id <= 0xFFFF)
        LoadStringW(gloCoreModule(), static_cast<UINT>(id), buffer, bufferBytes / 2);
    else
        glo_events::copyRegisteredText(id, buffer, bufferBytes / 2);
    return buffer;
}

wchar_t* CGlo_PluginFunction::getFunctionCbDescription(wchar_t* buffer, int bufferBytes) {
    return loadDescription(descriptionId, buffer, bufferBytes);
}

wchar_t* CGlo_PluginFunction::getAxisCbDescription(wchar_t* buffer, int bufferBytes, int axis,
                                                   int direction) {
    if (axis < 0 || axis > 5)
        return loadDescription(-1, buffer, bufferBytes);
    return loadDescription(axisDescriptionIds[2 * axis + (direction >= 0 ? 0 : 1)], buffer,
                           bufferBytes);
}
