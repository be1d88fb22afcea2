// Replacing a configuration file: the new content is written to "<name>.tmp" beside the file
// and moved over it only when complete, so a failed write or a process that dies on the way
// leaves the user's configuration as it was.
#include "config/AtomicFileWriter.h"

#include <windows.h>

#include <ostream>
#include <string>

#include "GdrConfigFile.h"
#include "config/FileStreams.h"

namespace glo_config {

namespace {

struct TextContent {
    void (*write)(std::ostream&, void*);
    void* context;
};

// Fills the temporary file; false when anything of it failed.
bool writeText(HANDLE file, const void* content) {
    const TextContent& text = *static_cast<const TextContent*>(content);
    SetLastError(0); // a stream the writer failed on its own has no system error
    CFileOutBuf buffer(file);
    std::ostream out(&buffer);
    bool complete = false;
    try {
        text.write(out, text.context);
        complete = !out.fail();
    } catch (...) {
        complete = false;
    }
    return buffer.finish() && complete;
}

bool writeBytes(HANDLE file, const void* content) {
    const std::string& bytes = *static_cast<const std::string*>(content);
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

bool replace(const wchar_t* fileName, bool (*fill)(HANDLE, const void*), const void* content,
             AtomicWriteFailure* failure) {
    AtomicWriteFailure why = {ERROR_INVALID_PARAMETER, false};
    bool complete = false;
    if (fileName != nullptr && fileName[0] != L'\0') {
        wchar_t temporary[MAX_PATH * 2 + 8];
        const size_t length = wcslen(fileName);
        if (length + 5 > sizeof(temporary) / sizeof(temporary[0])) {
            why.error = ERROR_FILENAME_EXCED_RANGE;
        } else {
            wmemcpy(temporary, fileName, length);
            wmemcpy(temporary + length, L".tmp", 5);
            // Not shared: a second writer of the same file fails instead of interleaving.
            const HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                why = {GetLastError(), true};
            } else {
                complete = fill(file, content) && FlushFileBuffers(file);
                if (!complete)
                    why = {GetLastError(), true};
                CloseHandle(file);
                if (complete) {
                    complete = MoveFileExW(temporary, fileName,
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
                    if (!complete)
                        why = {GetLastError(), false};
                }
                if (!complete)
                    DeleteFileW(temporary);
            }
        }
    }
    if (failure != nullptr)
        *failure = complete ? AtomicWriteFailure{0, false} : why;
    SetLastError(complete ? 0 : why.error);
    return complete;
}

} // namespace

bool writeFileAtomicallyW(const wchar_t* fileName, void (*write)(std::ostream&, void*),
                          void* context, AtomicWriteFailure* failure) {
    if (write == nullptr)
        fileName = nullptr; // nothing to write: refused like a missing name
    const TextContent text = {write, context};
    return replace(fileName, &writeText, &text, failure);
}

bool writeFileAtomicallyW(const wchar_t* fileName, void (*write)(std::ostream&, void*),
                          void* context) {
    return writeFileAtomicallyW(fileName, write, context, nullptr);
}

bool writeBytesAtomically(const wchar_t* fileName, const std::string& bytes,
                          AtomicWriteFailure* failure) {
    return replace(fileName, &writeBytes, &bytes, failure);
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
