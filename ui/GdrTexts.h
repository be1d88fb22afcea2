// Texts of the library's string table, in the user interface language.
#pragma once

#include <windows.h>

#include <string>

namespace glo_ui {

// "" when the table has no such text.
std::wstring loadText(UINT id);
// The text `id` with its %s (wide strings) and %d filled in by the log's formatter, which does not
// depend on the runtime's printf flavour.
std::wstring formatText(UINT id, ...);

} // namespace glo_ui
