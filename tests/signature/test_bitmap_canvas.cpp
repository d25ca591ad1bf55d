// Tests of the signature decoder, CBitmapCanvas and the BMP file it writes.
#include "signature/BitmapCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

using Pixels = std::set<std::pair<int, int>>; // (column, row from the bottom)

Pixels BlackPixels(const CBitmapCanvas& canvas) {
    Pixels black;
    for (std::size_t i = 0; i < canvas.Pixels().size(); ++i) {
        if (canvas.Pixels()[i] == CBitmapCanvas::kBlack)
            black.insert({int(i % canvas.GetWidth()), int(i / canvas.GetWidth())});
        else
            EXPECT_EQ(canvas.Pixels()[i], CBitmapCanvas::kWhite);
    }
    return black;
}

Pixels Drawn(const char* text, CBitmapCanvas& canvas) {
    DrawSignature(DecodeSignature(text), canvas, "");
    return BlackPixels(canvas);
}

unsigned Field(const CByteArray& bytes, std::size_t at, int size) {
    unsigned value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[at + i];
    return value;
}

class SignatureFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tranvex-sig-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    CByteArray Write(const CString& response) {
        EXPECT_TRUE(
            WriteSignatureBitmap(response, File(), [this](const CString& m) { m_messages.push_back(m); }));
        std::ifstream in(File(), std::ios::binary);
        return CByteArray(std::istreambuf_iterator<char>(in), {});
    }
    CString File() const { return (m_dir / "dummy").string(); }
    std::filesystem::path m_dir;
    CStringArray m_messages;
};

} // namespace

TEST(SignatureDecode, TokensBecomePointsByTheirRules) {
    const struct {
        const char* text;
        std::vector<CSignaturePoint> points;
        int maxX, maxY;
    } cases[] = {
        {"10,20:12,24:#,#:30,5:", {{10, 20}, {12, 24}, {-1, -1}, {30, 5}}, 30, 24},
        {"1,2:3,4", {{1, 2}}, 1, 2}, // the last token has no colon
        {"#,#:-1,7:#,5:#,#9:", {{-1, -1}, {-1, 7}, {0, 5}, {-1, -1}}, 0, 7},
        {":5:,3: +4,\t-2x:1,2,3:", {{0, 0}, {0, 5}, {0, 3}, {4, -2}, {1, 2}}, 4, 5},
        {"-5,-6:99999999999,-99999999999:", {{-5, -6}, {INT_MAX, INT_MIN}}, INT_MAX, 0},
        {"no colon", {}, 0, 0},
    };
    for (const auto& c : cases) {
        const CSignature s = DecodeSignature(c.text);
        EXPECT_EQ(s.points, c.points) << c.text;
        EXPECT_EQ(s.nMaxX, c.maxX) << c.text;
        EXPECT_EQ(s.nMaxY, c.maxY) << c.text;
    }
}

TEST(SignatureDecode, ElementTextIsBetweenTheFirstOpenAndTheNextClose) {
    const struct {
        const char* source;
        const char* text;
    } cases[] = {
        {"<R><Signature>1,2:</Signature><Signature>3</Signature></R>", "1,2:"},
        {"</Signature><Signature>1,2:", ""},
        {"<signature>1,2:</signature>", ""},
        {"<Signature>1:<Signature>2:</Signature>", "1:<Signature>2:"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtractElementText(c.source, "Signature"), c.text) << c.source;
}

TEST(SignatureDraw, StrokesLiftsAndTheEdgesOfTheCanvas) {
    const struct {
        const char* text;
        int width, height;
        Pixels black;
    } cases[] = {
        // The worked stroke: one line, then a pen-down at (30, 29) that draws nothing.
        {"10,20:12,24:#,#:30,5:", 40, 34, {{10, 14}, {10, 13}, {11, 12}, {11, 11}, {12, 10}}},
        {"#,#:", 12, 10, {}},
        {"3,1:", 16, 11, {}},
        {"1,1:3,1:", 16, 11, {{1, 10}, {2, 10}, {3, 10}}},
        {"1,1:#,#:3,1:", 16, 11, {}},
        {"1,1:-1,4:3,1:", 16, 14, {}},
        {"1,1:3,-1:3,1:", 16, 11, {}},
        // y = 0 is one row above the picture: the pen stays, and the stroke joins from where it was.
        {"1,2:1,0:3,2:", 16, 12, {{1, 10}, {1, 11}, {2, 10}, {3, 10}}},
    };
    for (const auto& c : cases) {
        CBitmapCanvas canvas;
        const Pixels black = Drawn(c.text, canvas);
        EXPECT_EQ(canvas.GetWidth(), c.width) << c.text;
        EXPECT_EQ(canvas.GetHeight(), c.height) << c.text;
        EXPECT_EQ(black, c.black) << c.text;
    }
}

TEST(SignatureDraw, CoordinatesBeyondTheBoundAreClipped) {
    CBitmapCanvas canvas;
    Pixels black = Drawn("10,5:2147483647,5:", canvas);
    EXPECT_EQ(canvas.GetWidth(), CBitmapCanvas::kMaxWidth);
    EXPECT_EQ(black.size(), std::size_t(CBitmapCanvas::kMaxWidth - 10));
    EXPECT_EQ(*black.rbegin(), std::make_pair(CBitmapCanvas::kMaxWidth - 1, 10));

    // Neither point is on the canvas: the line from the unmoved pen leaves it after one pixel.
    black = Drawn("-2147483648,-2147483648:2147483647,2147483647:", canvas);
    EXPECT_EQ(canvas.Pixels().size(), std::size_t(CBitmapCanvas::kMaxWidth) * CBitmapCanvas::kMaxHeight);
    EXPECT_EQ(black, (Pixels{{0, 0}}));
}

TEST(SignatureDraw, SetPixelTestsColumnAndRowEach) {
    CBitmapCanvas canvas;
    canvas.Create(8, 4, "");
    const struct {
        int x, y;
        bool ok;
    } cases[] = {{-1, 1, false}, {8, 0, false}, {0, 4, false}, {0, -1, false}, {7, 3, true}, {0, 0, true}};
    for (const auto& c : cases)
        EXPECT_EQ(canvas.SetPixel(c.x, c.y, 0), c.ok) << c.x << "," << c.y;
    EXPECT_EQ(BlackPixels(canvas), (Pixels{{7, 3}, {0, 0}}));
    ASSERT_TRUE(canvas.MoveTo(6, 1));
    EXPECT_FALSE(canvas.LineTo(12, 1, 0));
    EXPECT_EQ(BlackPixels(canvas), (Pixels{{7, 3}, {0, 0}, {6, 1}, {7, 1}}));
}

TEST_F(SignatureFileTest, WorkedExamplesByteForByte) {
    const struct {
        const char* signature;
        unsigned width, height;
    } cases[] = {{"10,20:12,24:#,#:30,5:", 40, 34}, {"100,50:", 112, 60}, {"#,#:", 12, 10}, {"3,3:", 16, 13}};
    const unsigned char palette[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                          {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                          {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (const auto& c : cases) {
        const CByteArray file = Write(CString("<R><Signature>") + c.signature + "</Signature></R>");
        const unsigned size = 1078 + c.width * c.height;
        ASSERT_EQ(file.size(), size) << c.signature;
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        const std::pair<std::size_t, unsigned> fields[] = {
            {2, size},     {6, 0},         {10, 1078}, {14, 40},
            {18, c.width}, {22, c.height}, {30, 0},    {34, c.width * c.height},
            {38, 0},       {42, 0},        {46, 0},    {50, 0}};
        for (auto [at, value] : fields)
            EXPECT_EQ(Field(file, at, 4), value) << c.signature << " at " << at;
        EXPECT_EQ(Field(file, 26, 2), 1u);
        EXPECT_EQ(Field(file, 28, 2), 8u);
        for (std::size_t i = 0; i < 256; ++i) {
            const unsigned char* rgb = i < 16 ? palette[i] : palette[0];
            const unsigned expected = rgb[2] | rgb[1] << 8 | rgb[0] << 16;
            EXPECT_EQ(Field(file, 54 + 4 * i, 4), expected) << "palette " << i;
        }
        CBitmapCanvas canvas;
        DrawSignature(DecodeSignature(c.signature), canvas, "");
        EXPECT_TRUE(std::equal(file.begin() + 1078, file.end(), canvas.Pixels().begin()));
    }
    // The worked stroke, rows bottom first: column 10 of row 14 is black.
    const CByteArray file = Write("<Signature>10,20:12,24:#,#:30,5:</Signature>");
    EXPECT_EQ(file[1078 + 14 * 40 + 10], 0);
    EXPECT_EQ(file[1078 + 14 * 40 + 11], 15);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(SignatureFileTest, NoSignatureWritesNothingAndFailuresAreReported) {
    for (const char* response : {"", "<Signature></Signature>", "<Signature>1,2:", "<R/>"})
        EXPECT_FALSE(WriteSignatureBitmap(response, File(), {})) << response;
    EXPECT_FALSE(std::filesystem::exists(File()));

    std::filesystem::create_directory(File());
    CBitmapCanvas canvas([this](const CString& m) { m_messages.push_back(m); });
    canvas.Create(4, 4, File());
    EXPECT_FALSE(canvas.Save());
    canvas.Create(4, 4, "/dev/full");
    EXPECT_FALSE(canvas.Save());
    EXPECT_EQ(m_messages, (CStringArray{CString("Couldn't open dest file: ") + std::strerror(EISDIR),
                                        CString("File Exception on write: ") + std::strerror(ENOSPC)}));
}
