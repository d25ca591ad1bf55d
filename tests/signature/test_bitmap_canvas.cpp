// Tests of the signature decoder, CBitmapCanvas and the BMP file it writes.
#include "signature/BitmapCanvas.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "TestSupport.h"

namespace {

using Pixels = std::set<std::pair<int, int>>; // (column, row from the bottom)

// Every pixel is black (0) or white (15).
template <class Bytes> Pixels BlackPixels(const Bytes& pixels, std::size_t from, int width) {
    Pixels black;
    for (std::size_t i = 0; i + from < pixels.size(); ++i)
        if (static_cast<unsigned char>(pixels[from + i]) == 0)
            black.insert({int(i % width), int(i / width)});
        else
            EXPECT_EQ(static_cast<unsigned char>(pixels[from + i]), 15);
    return black;
}

Pixels BlackPixels(const CBitmapCanvas& canvas) {
    return BlackPixels(canvas.Pixels(), 0, canvas.GetWidth());
}

unsigned Field(const std::string& bytes, std::size_t at, int size = 4) {
    unsigned value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Checks every header and palette byte for the size it states; returns width, height, black pixels.
std::tuple<unsigned, unsigned, Pixels> ReadBmp(const std::filesystem::path& path) {
    const std::string file = tvxtest::ReadFile(path);
    if (file.size() < 1078) {
        ADD_FAILURE() << file.size() << " bytes";
        return {};
    }
    const unsigned w = Field(file, 18), h = Field(file, 22);
    EXPECT_EQ(file.size(), 1078 + w * h);
    const struct {
        std::size_t at;
        int size;
        unsigned value;
    } fields[] = {
        // clang-format off
        {0, 2, 'B' | 'M' << 8}, {2, 4, 1078 + w * h}, {6, 4, 0}, {10, 4, 1078}, {14, 4, 40}, {26, 2, 1},
        {28, 2, 8}, {30, 4, 0}, {34, 4, w * h}, {38, 4, 0}, {42, 4, 0}, {46, 4, 0}, {50, 4, 0},
        // clang-format on
    };
    for (const auto& f : fields)
        EXPECT_EQ(Field(file, f.at, f.size), f.value) << "at " << f.at;
    // Blue, green, red, 0 read as one little-endian number: 0xRRGGBB.
    const unsigned palette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                  0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                  0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (std::size_t i = 0; i < 256; ++i)
        EXPECT_EQ(Field(file, 54 + 4 * i), i < 16 ? palette[i] : 0) << "palette " << i;
    return {w, h, BlackPixels(file, 1078, w)};
}

class SignatureFileTest : public ::testing::Test {
protected:
    tvxtest::CTempDir m_temp;
    bool Write(const CString& response) {
        CBitmapCanvas canvas([this](const CString& m) { m_messages.push_back(m); });
        return WriteSignatureBitmap(response, canvas, m_file);
    }
    const std::filesystem::path m_file = m_temp / "dummy";
    CStringArray m_messages;
};

} // namespace

TEST(SignatureDecode, TokensBecomePointsByTheirRules) {
    const struct {
        const char* text;
        std::vector<CSignaturePoint> points;
        int maxX, maxY;
    } cases[] = {
        {"#,#:-1,7:#,5:#,#9:", {{-1, -1}, {-1, 7}, {0, 5}, {-1, -1}}, 0, 7},
        {":5:,3: +4,\t-2x:1,2,3:9", {{0, 0}, {0, 5}, {0, 3}, {4, -2}, {1, 2}}, 4, 5},
        {"-5,-6:99999999999,-99999999999:", {{-5, -6}, {INT_MAX, INT_MIN}}, INT_MAX, 0},
    };
    for (const auto& c : cases) {
        const CSignature s = DecodeSignature(c.text);
        EXPECT_EQ(s.points, c.points) << c.text;
        EXPECT_EQ(std::make_pair(s.nMaxX, s.nMaxY), std::make_pair(c.maxX, c.maxY)) << c.text;
    }
}

// Each response overwrites the same file, so a smaller picture after a larger one also shows that.
TEST_F(SignatureFileTest, ResponsesBecomeBitmapFilesByteForByte) {
    const struct {
        const char* response;
        unsigned width, height;
        Pixels black;
    } cases[] = {
        // The worked stroke: one line, then a pen-down at (30, 29) that draws nothing.
        {"<R><Signature>10,20:12,24:#,#:30,5:</Signature></R>",
         40,
         34,
         {{10, 14}, {10, 13}, {11, 12}, {11, 11}, {12, 10}}},
        {"<Signature>100,50:</Signature>", 112, 60, {}},
        {"<Signature>#,#:</Signature>", 12, 10, {}},
        {"<Signature>1,1:3,1</Signature>", 12, 11, {}}, // the last token has no colon
        {"<Signature>1,1:3,1:</Signature>", 16, 11, {{1, 10}, {2, 10}, {3, 10}}},
        {"<Signature>1,1:<Signature>3,1:</Signature>", 16, 11, {{1, 10}, {2, 10}, {3, 10}}},
        {"<Signature>1,1:#,#:3,1:</Signature>", 16, 11, {}},
        {"<Signature>1,1:-1,4:3,1:</Signature>", 16, 14, {}},
        {"<Signature>1,1:3,-1:3,1:</Signature>", 16, 11, {}},
        // y = 0 is one row above the picture: the pen stays, and the stroke joins from where it was.
        {"<Signature>1,2:1,0:3,2:</Signature>", 16, 12, {{1, 10}, {1, 11}, {2, 10}, {3, 10}}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Write(c.response)) << c.response;
        EXPECT_EQ(ReadBmp(m_file), std::make_tuple(c.width, c.height, c.black)) << c.response;
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST(SignatureDraw, CoordinatesAreClippedAtTheBoundAndAtEachEdge) {
    CBitmapCanvas canvas;
    DrawSignature(DecodeSignature("10,5:2147483647,5:"), canvas, "");
    EXPECT_EQ(canvas.GetWidth(), CBitmapCanvas::kMaxWidth);
    Pixels black = BlackPixels(canvas);
    EXPECT_EQ(black.size(), std::size_t(CBitmapCanvas::kMaxWidth - 10));
    EXPECT_EQ(*black.rbegin(), std::make_pair(CBitmapCanvas::kMaxWidth - 1, 10));

    // Neither point is on the canvas: the line from the unmoved pen leaves it after one pixel.
    DrawSignature(DecodeSignature("-2147483648,-2147483648:2147483647,2147483647:"), canvas, "");
    EXPECT_EQ(canvas.Pixels().size(), std::size_t(CBitmapCanvas::kMaxWidth) * CBitmapCanvas::kMaxHeight);
    EXPECT_EQ(BlackPixels(canvas), (Pixels{{0, 0}}));

    canvas.Create(8, 4, "");
    for (auto [x, y] : {std::pair{-1, 1}, {8, 0}, {0, 4}, {0, -1}})
        EXPECT_FALSE(canvas.SetPixel(x, y, 0)) << x << "," << y;
    ASSERT_TRUE(canvas.MoveTo(6, 1));
    EXPECT_FALSE(canvas.LineTo(12, 1, 0)); // stops at the right edge, not on the next row
    EXPECT_EQ(BlackPixels(canvas), (Pixels{{6, 1}, {7, 1}}));
}

TEST_F(SignatureFileTest, NoSignatureWritesNothingAndFailuresAreReported) {
    for (const char* response : {"", "<Signature></Signature>", "<Signature>1,2:",
                                 "</Signature><Signature>1:", "<signature>1,2:</signature>"})
        EXPECT_FALSE(Write(response)) << response;
    EXPECT_FALSE(std::filesystem::exists(m_file));
    // A file that cannot be opened: the window's signature test.
    CBitmapCanvas canvas([this](const CString& m) { m_messages.push_back(m); });
    canvas.Create(4, 4, "/dev/full");
    EXPECT_FALSE(canvas.Save());
    EXPECT_EQ(m_messages, CStringArray{CString("File Exception on write: ") + std::strerror(ENOSPC)});
}
