// Replacing a file by one written aside, for content that is no configuration text.
#pragma once

#include <string>

#include "GdrConfigFile.h"

namespace glo_config {

// Like writeFileAtomicallyW, with `bytes` as they are (no line-end translation).
bool writeBytesAtomically(const wchar_t* fileName, const std::string& bytes,
                          AtomicWriteFailure* failure);

} // namespace glo_config
