// Texts of a plug-in's own, for its functions and their directions: an English and a German
// text registered with the core give an identifier that a CGlo_PluginFunction names like one of
// the core's string table (GloTextIds.h). The configuration dialog and the tools then show the
// text in the user's language (German for a German user interface, English for every other).
//
//   CGlo_PluginFunction s_functions[] = {
//       {L"Count", GLO_OneAxisFunction, &count, gloRegisterText(L"Count Steps", L"Schritte
//       zählen"),
//        gloRegisterText(L"More", L"Mehr"), gloRegisterText(L"Fewer", L"Weniger"), 0, ...},
//   };
//
// The kit's glo_kit::text() is the same call.
#pragma once

#include "GloExport.h"

// Identifiers of registered texts lie from here on, apart from the core's string table.
#define GLO_TEXT_PLUGIN_FIRST 0x10000

// Registers a text in English and German (German null or empty: the English one serves for
// both) and returns its identifier; the same two texts give the same identifier again, also to
// another plug-in or after a reload. Each text is cut to 127 characters. 0 (no text: the dialog
// shows the function's name) when English is null or empty, or when the core holds as many texts
// as it keeps (4096). The texts stay with the core until it is unloaded, so a plug-in may call
// this from its static initialisation and unload at any time. Safe from any thread.
GLO_API int gloRegisterText(const wchar_t* english, const wchar_t* german);
