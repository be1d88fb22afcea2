// The text of the user settings file: UTF-8 lines "key=value", the lines before the first
// "[program]" line for all programs, the lines after it for that program; ';' or '#' begins a
// comment line. Backslash escapes (\\ \n \r \t \= \uXXXX) carry any character, so that every
// name, key and value comes back exactly as it was written.
#pragma once

#include <string>
#include <vector>

namespace glo_config {

// Limits of what is read and written: a file longer than this is not read at all.
const std::size_t kLargestSettingsFile = 1 << 20;
const std::size_t kMostSettings = 4096;

struct SettingsEntry {
    std::wstring program; // empty: all programs
    std::wstring key;
    std::wstring value;
};

struct ParsedSettings {
    std::vector<SettingsEntry> entries; // in file order; a later key replaces an earlier one
    bool complete = true;               // false when anything of the text could not be read
};

// Reads what it can; lines it cannot read (no key, not UTF-8, beyond the limits) are left out
// and make the result incomplete. Never throws for bad input (std::bad_alloc may pass).
ParsedSettings parseSettings(const std::string& bytes);

// The file's text for `entries`, those of all programs first; lines end in CR LF.
std::string formatSettings(const std::vector<SettingsEntry>& entries);

} // namespace glo_config
