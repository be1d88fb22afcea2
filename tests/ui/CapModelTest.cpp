// The cap model reader never trusts its file: good binary and ASCII files load, every kind of
// broken file is refused with its reason, and nothing the file announces costs memory or time.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <limits>
#include <string>

#include "tests/support/PluginHome.h"
#include "ui/GdrCapModel.h"

namespace {

class CapModel : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path =
            std::wstring(folder) + L"glo_cap_" + std::to_wstring(GetCurrentProcessId()) + L".stl";
    }
    void TearDown() override { DeleteFileW(path.c_str()); }

    GdrCapModelStatus load(const std::string& bytes) {
        glotest::writeFile(path, bytes);
        return model.load(path.c_str());
    }

    // A binary file: the header, the triangle count it announces, then the given triangles.
    static std::string binary(unsigned announced, const float (*corners)[9], int triangles,
                              const char* header = "made by a test") {
        std::string bytes(80, '\0');
        std::memcpy(&bytes[0], header, std::strlen(header));
        bytes.append(reinterpret_cast<const char*>(&announced), 4);
        for (int t = 0; t < triangles; ++t) {
            const float normal[3] = {0, 0, 1};
            bytes.append(reinterpret_cast<const char*>(normal), 12);
            bytes.append(reinterpret_cast<const char*>(corners[t]), 36);
            bytes.append(2, '\0');
        }
        return bytes;
    }

    std::wstring path;
    CGdrCapModel model;
};

const float kTwo[2][9] = {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {1, 1, 0.5f, -2.25f, 0, 0, 0, 1e-3f, 7}};

TEST_F(CapModel, ReadsBinaryAndAsciiFiles) {
    ASSERT_EQ(load(binary(2, kTwo, 2)), GdrCapModelLoaded);
    ASSERT_EQ(model.triangleCount(), 2);
    EXPECT_EQ(model.triangle(1).v[1][0], -2.25f);
    EXPECT_EQ(model.triangle(1).v[2][2], 7.0f);

    // A binary header that begins like an ASCII file: the size decides.
    EXPECT_EQ(load(binary(2, kTwo, 2, "solid but binary")), GdrCapModelLoaded);
    EXPECT_EQ(model.triangleCount(), 2);

    // Any case, blanks and CR LF, numbers in every spelling, no final line end, no "endsolid".
    EXPECT_EQ(load("solid cap\r\n"
                   "  facet normal 0 0 1\r\n    outer loop\r\n"
                   "\tvertex 1 2 3\r\n      vertex -1.5E+1 .25 4.\r\n      vertex 0 0 1e-2\r\n"
                   "    endloop\r\n  endfacet\r\n"
                   "FACET NORMAL 0 0 0\nOUTER LOOP\nVERTEX 0 0 0\nVERTEX 1 0 0\nVERTEX 0 1 0\n"
                   "ENDLOOP\nENDFACET"),
              GdrCapModelLoaded);
    ASSERT_EQ(model.triangleCount(), 2);
    EXPECT_EQ(model.triangle(0).v[1][0], -15.0f);
    EXPECT_EQ(model.triangle(0).v[1][1], 0.25f);
    EXPECT_FLOAT_EQ(model.triangle(0).v[2][2], 0.01f);
}

TEST_F(CapModel, RefusesBrokenFilesAndSaysWhy) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinite = std::numeric_limits<float>::infinity();
    const float withNan[1][9] = {{0, 0, 0, 1, nan, 0, 0, 1, 0}};
    const float withInfinity[1][9] = {{0, 0, 0, 1, 0, 0, 0, 1, -infinite}};
    const std::string facet = "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n";
    const struct {
        const char* what;
        std::string bytes;
        GdrCapModelStatus status;
        int line;
    } cases[] = {
        {"count beyond the file", binary(1000, kTwo, 2), GdrCapModelTruncated, 0},
        {"largest count", binary(0xFFFFFFFFu, kTwo, 2), GdrCapModelTruncated, 0},
        {"cut inside a record", binary(2, kTwo, 2).substr(0, 84 + 75), GdrCapModelTruncated, 0},
        {"cut in the header", binary(2, kTwo, 2).substr(0, 60), GdrCapModelTruncated, 0},
        {"NaN", binary(1, withNan, 1), GdrCapModelBadNumber, 0},
        {"infinity", binary(1, withInfinity, 1), GdrCapModelBadNumber, 0},
        {"no triangles", binary(0, kTwo, 0), GdrCapModelEmpty, 0},
        {"empty file", "", GdrCapModelEmpty, 0},
        {"empty solid", "solid\nendsolid\n", GdrCapModelEmpty, 0},
        {"ASCII nan", "solid\n" + facet + "vertex nan 0 1\nendloop\nendfacet\n",
         GdrCapModelBadNumber, 0},
        {"ASCII overflow", "solid\n" + facet + "vertex 0 1e39 1\nendloop\nendfacet\n",
         GdrCapModelBadNumber, 0},
        {"ASCII garbage", "solid\n" + facet + "vertex 0 1 1\nendloop\nendfacet\nhello\n",
         GdrCapModelGarbage, 9},
        {"ASCII word for a number", "solid\n" + facet + "vertex 0 one 1\n", GdrCapModelGarbage, 6},
        {"ASCII fourth corner", "solid\n" + facet + "vertex 0 1 1\nvertex 1 1 1\n",
         GdrCapModelGarbage, 7},
        {"ASCII cut short", "solid\n" + facet, GdrCapModelTruncated, 0},
        {"ASCII endless line", "solid\n" + std::string(5000, ' ') + "x\n", GdrCapModelGarbage, 2},
        {"ASCII with a zero byte", "solid\n" + facet + std::string(1, '\0'), GdrCapModelGarbage, 6},
    };
    ASSERT_EQ(load(binary(2, kTwo, 2)), GdrCapModelLoaded);
    for (const auto& c : cases) {
        EXPECT_EQ(load(c.bytes), c.status) << c.what;
        EXPECT_EQ(model.triangleCount(), 0) << c.what; // nothing half-read stays
        if (c.status == GdrCapModelGarbage) {
            EXPECT_EQ(model.garbageLine(), c.line) << c.what;
        }
    }
    DeleteFileW(path.c_str());
    EXPECT_EQ(model.load(path.c_str()), GdrCapModelNotFound);
}

// Sizes are judged before anything is read: a 2 GB file, and a file whose triangles would pass
// the limit, are refused at once (both are sparse: no disk space is used).
TEST_F(CapModel, RefusesOversizedFilesWithoutReadingThem) {
    const auto sized = [this](unsigned long long bytes, unsigned announced) {
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::string header = binary(announced, kTwo, 0);
        DWORD written = 0;
        WriteFile(file, header.data(), DWORD(header.size()), &written, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(bytes);
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        EXPECT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    };
    const unsigned tooMany = static_cast<unsigned>(CGdrCapModel::kMaxTriangles) + 1;
    const auto start = std::chrono::steady_clock::now();
    sized(2ull << 30, 40000000);
    EXPECT_EQ(model.load(path.c_str()), GdrCapModelTooLarge);
    sized(84ull + 50ull * tooMany, tooMany);
    EXPECT_EQ(model.load(path.c_str()), GdrCapModelTooLarge);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

} // namespace
