// Stream buffers over Win32 file handles: the configuration files are read and written by
// wide name, in fixed-size pieces, whatever their size.
#pragma once

#include <windows.h>

#include <streambuf>

namespace glo_config {

// Reads a file as bytes through a fixed buffer; large files are streamed, never loaded whole.
class CFileInBuf : public std::streambuf {
public:
    explicit CFileInBuf(const wchar_t* fileName);
    ~CFileInBuf() override;
    CFileInBuf(const CFileInBuf&) = delete;
    CFileInBuf& operator=(const CFileInBuf&) = delete;
    bool isOpen() const { return file != INVALID_HANDLE_VALUE; }

protected:
    int_type underflow() override;

private:
    HANDLE file;
    char buffer[64 * 1024];
};

// Writes text to a file handle through a buffer; each '\n' reaches the file as CR LF, as a
// text-mode stream writes it. sync() keeps the data: the owner makes it durable at the end
// (finish), since nothing of the file is visible before it is complete anyway.
class CFileOutBuf : public std::streambuf {
public:
    explicit CFileOutBuf(HANDLE file);
    CFileOutBuf(const CFileOutBuf&) = delete;
    CFileOutBuf& operator=(const CFileOutBuf&) = delete;
    // Writes what is buffered; false when any write failed.
    bool finish();

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();

    HANDLE file;
    bool failed;
    char buffer[8 * 1024];
    char staging[16 * 1024];
};

} // namespace glo_config
