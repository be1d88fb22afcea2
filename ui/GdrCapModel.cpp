#include "ui/GdrCapModel.h"
#include "ui/GdrFileHandle.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

const std::size_t kHeaderBytes = 84; // 80 bytes of text, then the triangle count
const std::size_t kRecordBytes = 50; // normal, three corners, attribute word
const std::size_t kChunkBytes = 64 * 1024;
const std::size_t kMaxLineChars = 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the text at `at` starts with `word` (any case) followed by a blank or the end.
bool startsWithWord(const char* at, const char* end, const char* word) {
    for (; *word; ++word, ++at)
        if (at == end || lower(*at) != *word)
            return false;
    return at == end || isBlank(*at);
}

struct Words {
    const char* at;
    const char* end;
    void skipBlanks() {
        while (at != end && isBlank(*at))
            ++at;
    }
    bool atEnd() {
        skipBlanks();
        return at == end;
    }
    bool take(const char* word) {
        skipBlanks();
        if (!startsWithWord(at, end, word))
            return false;
        at += std::strlen(word);
        return true;
    }
};

enum NumberResult { NumberOk, NumberNotFinite, NumberMissing };

// A decimal number in the C locale's spelling, whatever locale the driver's process runs in.
NumberResult readNumber(Words& words, float& value) {
    words.skipBlanks();
    const char* p = words.at;
    const char* end = words.end;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    const char* word = p;
    while (p != end && !isBlank(*p))
        ++p;
    words.at = p;
    const char* letters[] = {"nan", "inf", "infinity"};
    for (const char* name : letters) {
        std::size_t n = std::strlen(name);
        if (static_cast<std::size_t>(p - word) >= n && startsWithWord(word, word + n, name))
            return NumberNotFinite; // "nan", "inf", "infinity", "nan(...)"
    }
    double mantissa = 0;
    int exponent = 0;
    int digits = 0;
    const char* q = word;
    for (; q != p && *q >= '0' && *q <= '9'; ++q, ++digits) {
        if (mantissa < 1e300)
            mantissa = mantissa * 10 + (*q - '0');
        else
            ++exponent;
    }
    if (q != p && *q == '.') {
        for (++q; q != p && *q >= '0' && *q <= '9'; ++q, ++digits) {
            if (mantissa < 1e300) {
                mantissa = mantissa * 10 + (*q - '0');
                --exponent;
            }
        }
    }
    if (digits == 0)
        return NumberMissing;
    if (q != p && (*q == 'e' || *q == 'E')) {
        ++q;
        bool negativeExponent = false;
        if (q != p && (*q == '+' || *q == '-'))
            negativeExponent = *q++ == '-';
        if (q == p || *q < '0' || *q > '9')
            return NumberMissing;
        long e = 0;
        for (; q != p && *q >= '0' && *q <= '9'; ++q)
            if (e < 100000)
                e = e * 10 + (*q - '0');
        exponent += static_cast<int>(negativeExponent ? -e : e);
    }
    if (q != p)
        return NumberMissing;
    double result = 0;
    if (mantissa != 0) {
        if (exponent > 400)
            return NumberNotFinite;
        result = exponent < -400 ? 0.0 : mantissa * std::pow(10.0, exponent);
    }
    if (!std::isfinite(result) || std::fabs(result) > 3.4e38)
        return NumberNotFinite;
    value = static_cast<float>(negative ? -result : result);
    return NumberOk;
}

} // namespace

// Takes a file piece by piece: the binary records or the ASCII lines, with the limits of the
// model. Nothing it reads decides how much memory it takes beyond those limits.
class CGdrStlReader {
public:
    CGdrStlReader(CGdrCapModel& model, unsigned long long fileBytes)
        : m_model(model), m_fileBytes(fileBytes) {}

    // Decides binary or ASCII from the first bytes (at least the header when the file has it).
    GdrCapModelStatus start(const char* data, std::size_t size) {
        if (m_fileBytes >= kHeaderBytes && size >= kHeaderBytes) {
            unsigned count = 0;
            std::memcpy(&count, data + 80, 4);
            const unsigned long long announced = kHeaderBytes + kRecordBytes * 1ull * count;
            // Some exporters begin binary files with "solid": the size decides first.
            if (announced == m_fileBytes || !looksAscii(data, size)) {
                if (announced > m_fileBytes)
                    return GdrCapModelTruncated;
                if (count == 0)
                    return GdrCapModelEmpty;
                if (count > CGdrCapModel::kMaxTriangles)
                    return GdrCapModelTooLarge;
                m_binary = true;
                m_remaining = count;
                try {
                    m_model.m_triangles.reserve(count);
                } catch (const std::bad_alloc&) {
                    return GdrCapModelTooLarge;
                }
                return feed(data + kHeaderBytes, size - kHeaderBytes);
            }
        }
        if (!looksAscii(data, size))
            return GdrCapModelTruncated; // too short even for a binary header
        return feed(data, size);
    }

    GdrCapModelStatus feed(const char* data, std::size_t size) {
        return m_binary ? feedBinary(data, size) : feedAscii(data, size);
    }

    GdrCapModelStatus finish() {
        if (m_binary)
            return m_remaining == 0 ? GdrCapModelLoaded : GdrCapModelTruncated;
        if (m_lineLength > 0 || m_lineTooLong) {
            GdrCapModelStatus status = endLine();
            if (status != GdrCapModelLoaded)
                return status;
        }
        if (m_state == InFacet || m_state == InLoop || m_state == AfterLoop)
            return GdrCapModelTruncated;
        return m_model.m_triangles.empty() ? GdrCapModelEmpty : GdrCapModelLoaded;
    }

    int line() const { return m_lineNumber; }

private:
    enum State { ExpectSolid, InSolid, InFacet, InLoop, AfterLoop };

    static bool looksAscii(const char* data, std::size_t size) {
        Words words = {data, data + size};
        // Only the first line counts; a header of spaces and "solid" is still text.
        const char* newline = static_cast<const char*>(std::memchr(data, '\n', size));
        if (newline)
            words.end = newline;
        return words.take("solid");
    }

    GdrCapModelStatus feedBinary(const char* data, std::size_t size) {
        while (size > 0 && m_remaining > 0) {
            const std::size_t take = std::min(size, kRecordBytes - m_recordFill);
            std::memcpy(m_record + m_recordFill, data, take);
            m_recordFill += take;
            data += take;
            size -= take;
            if (m_recordFill < kRecordBytes)
                break;
            m_recordFill = 0;
            --m_remaining;
            GdrTriangle triangle;
            std::memcpy(triangle.v, m_record + 12, sizeof(triangle.v)); // the normal is ignored
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < 3; ++k)
                    if (!std::isfinite(triangle.v[c][k]))
                        return GdrCapModelBadNumber;
            m_model.m_triangles.push_back(triangle); // reserved
        }
        return GdrCapModelLoaded; // trailing bytes after the last record are ignored
    }

    GdrCapModelStatus feedAscii(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\n') {
                GdrCapModelStatus status = endLine();
                if (status != GdrCapModelLoaded)
                    return status;
            } else if (c == '\0') {
                ++m_lineNumber;
                return GdrCapModelGarbage;
            } else if (m_lineLength < kMaxLineChars) {
                m_line[m_lineLength++] = c;
            } else {
                m_lineTooLong = true;
            }
        }
        return GdrCapModelLoaded;
    }

    GdrCapModelStatus endLine() {
        ++m_lineNumber;
        const std::size_t length = m_lineLength;
        const bool tooLong = m_lineTooLong;
        m_lineLength = 0;
        m_lineTooLong = false;
        if (tooLong)
            return GdrCapModelGarbage;
        Words words = {m_line, m_line + length};
        if (words.atEnd())
            return GdrCapModelLoaded;
        switch (m_state) {
        case ExpectSolid:
            if (!words.take("solid"))
                return GdrCapModelGarbage;
            m_state = InSolid;
            return GdrCapModelLoaded;
        case InSolid:
            if (words.take("endsolid")) {
                m_state = ExpectSolid;
                return GdrCapModelLoaded;
            }
            if (!words.take("facet") || !words.take("normal"))
                return GdrCapModelGarbage;
            m_state = InFacet;
            return GdrCapModelLoaded;
        case InFacet:
            if (!words.take("outer") || !words.take("loop") || !words.atEnd())
                return GdrCapModelGarbage;
            m_state = InLoop;
            m_corners = 0;
            return GdrCapModelLoaded;
        case InLoop:
            if (words.take("endloop")) {
                if (m_corners != 3 || !words.atEnd())
                    return GdrCapModelGarbage;
                m_state = AfterLoop;
                return GdrCapModelLoaded;
            }
            if (!words.take("vertex") || m_corners == 3)
                return GdrCapModelGarbage;
            for (int k = 0; k < 3; ++k) {
                const NumberResult result = readNumber(words, m_triangle.v[m_corners][k]);
                if (result == NumberNotFinite)
                    return GdrCapModelBadNumber;
                if (result == NumberMissing)
                    return GdrCapModelGarbage;
            }
            if (!words.atEnd())
                return GdrCapModelGarbage;
            ++m_corners;
            return GdrCapModelLoaded;
        case AfterLoop:
            if (!words.take("endfacet") || !words.atEnd())
                return GdrCapModelGarbage;
            if (m_model.m_triangles.size() >= CGdrCapModel::kMaxTriangles)
                return GdrCapModelTooLarge;
            try {
                m_model.m_triangles.push_back(m_triangle);
            } catch (const std::bad_alloc&) {
                return GdrCapModelTooLarge;
            }
            m_state = InSolid;
            return GdrCapModelLoaded;
        }
        return GdrCapModelGarbage;
    }

    CGdrCapModel& m_model;
    unsigned long long m_fileBytes;
    bool m_binary = false;
    unsigned m_remaining = 0;
    unsigned char m_record[kRecordBytes];
    std::size_t m_recordFill = 0;
    State m_state = ExpectSolid;
    char m_line[kMaxLineChars];
    std::size_t m_lineLength = 0;
    bool m_lineTooLong = false;
    int m_lineNumber = 0;
    int m_corners = 0;
    GdrTriangle m_triangle;
};

CGdrCapModel::CGdrCapModel() : m_garbageLine(0) {}

CGdrCapModel::~CGdrCapModel() {}

GdrCapModelStatus CGdrCapModel::load(const wchar_t* path) {
    std::vector<GdrTriangle>().swap(m_triangles);
    m_garbageLine = 0;
    CGdrFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? GdrCapModelNotFound
                   : GdrCapModelUnreadable;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0)
        return GdrCapModelUnreadable;
    const auto fileBytes = static_cast<unsigned long long>(size.QuadPart);
    if (fileBytes > kMaxFileBytes)
        return GdrCapModelTooLarge;

    GdrCapModelStatus status = GdrCapModelLoaded;
    try {
        std::vector<char> chunk(kChunkBytes);
        CGdrStlReader reader(*this, fileBytes);
        unsigned long long total = 0;
        bool started = false;
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                          nullptr)) {
                status = GdrCapModelUnreadable;
                break;
            }
            total += got;
            if (got == 0 || total > kMaxFileBytes) { // a file that grows while read stops here
                status = total > kMaxFileBytes ? GdrCapModelTooLarge : reader.finish();
                break;
            }
            status = started ? reader.feed(chunk.data(), got) : reader.start(chunk.data(), got);
            started = true;
            if (status != GdrCapModelLoaded)
                break;
        }
        if (!started && status == GdrCapModelLoaded)
            status = GdrCapModelEmpty;
        if (status == GdrCapModelGarbage)
            m_garbageLine = reader.line();
    } catch (const std::bad_alloc&) {
        status = GdrCapModelTooLarge;
    }
    if (status != GdrCapModelLoaded)
        std::vector<GdrTriangle>().swap(m_triangles);
    return status;
}

// A puck as a surface of revolution: flat bottom, straight side, rounded top edge, flat top.
void CGdrCapModel::makePuck() {
    std::vector<GdrTriangle>().swap(m_triangles);
    m_garbageLine = 0;
    const double pi = 3.14159265358979323846;
    const int segments = 48;
    // Profile from the centre of the bottom round to the centre of the top: (radius, height).
    std::vector<double> radius, height;
    radius.push_back(0), height.push_back(0);
    radius.push_back(1), height.push_back(0);
    const double edge = 0.18, top = 0.5;
    for (int i = 0; i <= 6; ++i) {
        const double angle = pi / 2 * i / 6;
        radius.push_back(1 - edge + edge * std::cos(angle));
        height.push_back(top - edge + edge * std::sin(angle));
    }
    radius.push_back(0), height.push_back(top);
    auto point = [&](std::size_t p, int s, float* out) {
        const double angle = 2 * pi * s / segments;
        out[0] = static_cast<float>(radius[p] * std::cos(angle));
        out[1] = static_cast<float>(radius[p] * std::sin(angle));
        out[2] = static_cast<float>(height[p]);
    };
    m_triangles.reserve((radius.size() - 1) * segments * 2);
    for (std::size_t p = 0; p + 1 < radius.size(); ++p) {
        for (int s = 0; s < segments; ++s) {
            GdrTriangle a, b;
            point(p, s, a.v[0]);
            point(p + 1, s, a.v[1]);
            point(p + 1, s + 1, a.v[2]);
            point(p, s, b.v[0]);
            point(p + 1, s + 1, b.v[1]);
            point(p, s + 1, b.v[2]);
            if (radius[p + 1] > 0)
                m_triangles.push_back(a);
            if (radius[p] > 0)
                m_triangles.push_back(b);
        }
    }
}
