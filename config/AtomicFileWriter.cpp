// Replacing a configuration file: the new content is written to "<name>.tmp" beside the file
// and moved over it only when complete, so a failed write or a process that dies on the way
// leaves the user's configuration as it was.
#include <windows.h>

#include <ostream>
#include <string>

#include "GdrConfigFile.h"
#include "config/FileStreams.h"

namespace glo_config {

bool writeFileAtomicallyW(const wchar_t* fileName, void (*write)(std::ostream&, void*),
                          void* context) {
    if (fileName == nullptr || fileName[0] == L'\0' || write == nullptr)
        return false;
    std::wstring temporary;
    try {
        temporary = std::wstring(fileName) + L".tmp";
    } catch (...) {
        return false;
    }
    // Not shared: a second writer of the same file fails instead of interleaving.
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool complete = false;
    {
        CFileOutBuf buffer(file);
        std::ostream out(&buffer);
        try {
            write(out, context);
            complete = !out.fail();
        } catch (...) {
            complete = false;
        }
        complete = buffer.finish() && complete;
    }
    complete = complete && FlushFileBuffers(file);
    CloseHandle(file);
    complete = complete && MoveFileExW(temporary.c_str(), fileName,
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!complete)
        DeleteFileW(temporary.c_str());
    return complete;
}

bool writeFileAtomically(const char* fileName, void (*write)(std::ostream&, void*), void* context) {
    if (fileName == nullptr || fileName[0] == '\0')
        return false;
    wchar_t wide[MAX_PATH + 1];
    const int n = MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide, MAX_PATH + 1);
    if (n <= 1)
        return false;
    return writeFileAtomicallyW(wide, write, context);
}

} // namespace glo_config
