#include "events/GloCoreModule.h"

static HMODULE lookUpCoreModule() {
    // Asked by address so that it works before any attach code has stored the handle; the
    // module stays loaded while its code runs, so the reference count is left alone.
    HMODULE found = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&lookUpCoreModule), &found))
        return nullptr;
    return found;
}

HINSTANCE gloCoreModule() {
    static const HMODULE module = lookUpCoreModule();
    return module;
}
