#include "config/FileStreams.h"

namespace glo_config {

CFileInBuf::CFileInBuf(const wchar_t* fileName) : file(INVALID_HANDLE_VALUE) {
    if (fileName != nullptr && fileName[0] != L'\0')
        file = CreateFileW(fileName, GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    setg(buffer, buffer, buffer);
}

CFileInBuf::~CFileInBuf() {
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

CFileInBuf::int_type CFileInBuf::underflow() {
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    DWORD got = 0;
    if (file == INVALID_HANDLE_VALUE || !ReadFile(file, buffer, sizeof buffer, &got, nullptr) ||
        got == 0)
        return traits_type::eof();
    setg(buffer, buffer, buffer + got);
    return traits_type::to_int_type(*gptr());
}

CFileOutBuf::CFileOutBuf(HANDLE file) : file(file), failed(false) {
    setp(buffer, buffer + sizeof buffer);
}

bool CFileOutBuf::drain() {
    const char* from = pbase();
    const char* const end = pptr();
    while (from < end && !failed) {
        // The staging buffer holds a whole buffer even if it is nothing but line feeds.
        DWORD n = 0;
        for (; from < end && n + 2 <= sizeof staging; ++from) {
            if (*from == '\n')
                staging[n++] = '\r';
            staging[n++] = *from;
        }
        DWORD written = 0;
        if (!WriteFile(file, staging, n, &written, nullptr) || written != n)
            failed = true;
    }
    setp(buffer, buffer + sizeof buffer);
    return !failed;
}

CFileOutBuf::int_type CFileOutBuf::overflow(int_type c) {
    if (!drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int CFileOutBuf::sync() {
    return failed ? -1 : 0;
}

bool CFileOutBuf::finish() {
    return drain();
}

} // namespace glo_config
