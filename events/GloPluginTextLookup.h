// The core's side of the texts plug-ins register (GloPluginTexts.h).
#pragma once

namespace glo_events {

// Copies registered text `id` in the user's language into `buffer` (`chars` characters with the
// terminator, cut to fit); false, with the buffer untouched, when no text has that identifier.
bool copyRegisteredText(int id, wchar_t* buffer, int chars);

} // namespace glo_events
