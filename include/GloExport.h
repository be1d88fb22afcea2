// Symbol visibility of the plug-in interface.
//
// The core library is built with GLO_CORE_BUILD and exports every class marked
// GLO_API; plug-in libraries include the same headers and import them from the
// core's import library. GLO_CORE_STATIC links the core sources statically
// (the core's own white-box tests).
#pragma once

#if defined(GLO_CORE_STATIC)
#define GLO_API
#elif defined(GLO_CORE_BUILD)
#define GLO_API __declspec(dllexport)
#else
#define GLO_API __declspec(dllimport)
#endif
