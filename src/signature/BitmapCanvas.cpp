// The signature decoder and CBitmapCanvas: an 8-bit paletted BMP drawn in memory, written in one go.
#include "signature/BitmapCanvas.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// atoi's reading (leading blanks, a sign, digits up to the first other character, 0 if none), but
// held to the int range instead of wrapping.
int ToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), kLimit);
    return static_cast<int>(std::clamp(negative ? -value : value, static_cast<long long>(INT_MIN),
                                       static_cast<long long>(INT_MAX)));
}

int ClampToInt(long long value) {
    return static_cast<int>(
        std::clamp(value, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
}

// One pass, left to right, as a string replace with nothing does it.
void RemoveAll(CString& text, std::string_view what) {
    std::size_t at = text.find(what);
    if (at == CString::npos)
        return;
    CString kept;
    kept.reserve(text.size());
    std::size_t from = 0;
    for (; at != CString::npos; at = text.find(what, from)) {
        kept.append(text, from, at - from);
        from = at + what.size();
    }
    kept.append(text, from);
    text = std::move(kept);
}

void Put16(CByteArray& bytes, std::size_t at, unsigned value) {
    bytes[at] = value & 0xFF;
    bytes[at + 1] = (value >> 8) & 0xFF;
}

void Put32(CByteArray& bytes, std::size_t at, unsigned value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

struct CPaletteEntry {
    unsigned char red, green, blue;
};

// The sixteen standard colours; entry 0 is black and entries 16 to 255 stay black too.
constexpr CPaletteEntry kPalette[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

CString SystemDescription(int error) {
    CString text = std::strerror(error);
    if (text.size() > 1023)
        text.resize(1023);
    return text;
}

} // namespace

CString ExtractElementText(const CString& source, CString tagName) {
    const CString open = "<" + tagName + ">";
    const CString close = "</" + tagName + ">";
    const std::size_t start = source.find(open);
    if (start == CString::npos)
        return CString();
    const std::size_t end = source.find(close, start);
    if (end == CString::npos || end < start + open.size())
        return CString();
    return source.substr(start + open.size(), end - start - open.size());
}

CSignature DecodeSignature(std::string_view text) {
    CSignature signature;
    signature.points.reserve(std::count(text.begin(), text.end(), ':'));
    for (std::size_t start = 0, colon; (colon = text.find(':', start)) != std::string_view::npos;
         start = colon + 1) {
        const std::string_view token = text.substr(start, colon - start);
        if (token.substr(0, 3) == "#,#") {
            signature.points.push_back({-1, -1});
            continue;
        }
        const std::size_t comma = token.find(',');
        const CSignaturePoint point =
            comma == std::string_view::npos
                ? CSignaturePoint{0, ToInt(token)}
                : CSignaturePoint{ToInt(token.substr(0, comma)), ToInt(token.substr(comma + 1))};
        signature.points.push_back(point);
        signature.nMaxX = std::max(signature.nMaxX, point.x);
        signature.nMaxY = std::max(signature.nMaxY, point.y);
    }
    return signature;
}

CBitmapCanvas::CBitmapCanvas(ReportFn report, int nMaxWidth, int nMaxHeight)
    : m_report(std::move(report)), m_nMaxWidth(nMaxWidth), m_nMaxHeight(nMaxHeight) {}

CBitmapCanvas::~CBitmapCanvas() {
    Reset();
}

bool CBitmapCanvas::Create(int width, int height, CString fileName) {
    Reset();
    m_strFile = std::move(fileName);
    m_nWidth = (std::clamp(width, 0, m_nMaxWidth) + 3) / 4 * 4;
    m_nHeight = std::clamp(height, 0, m_nMaxHeight);
    const unsigned imageSize = static_cast<unsigned>(m_nWidth) * static_cast<unsigned>(m_nHeight);

    m_header.assign(kHeaderSize, 0);
    m_pixels.assign(imageSize, kWhite);
    m_header[0] = 'B';
    m_header[1] = 'M';
    Put32(m_header, 2, kHeaderSize + imageSize);
    Put32(m_header, 10, kHeaderSize);
    Put32(m_header, 14, 40);
    Put32(m_header, 18, m_nWidth);
    Put32(m_header, 22, m_nHeight);
    Put16(m_header, 26, 1);
    Put16(m_header, 28, 8);
    Put32(m_header, 34, imageSize);
    for (std::size_t i = 1; i < std::size(kPalette); ++i) {
        const std::size_t at = 54 + 4 * i;
        m_header[at] = kPalette[i].blue;
        m_header[at + 1] = kPalette[i].green;
        m_header[at + 2] = kPalette[i].red;
    }
    return true;
}

void CBitmapCanvas::Reset() {
    CByteArray().swap(m_header);
    CByteArray().swap(m_pixels);
    m_strFile.clear();
    m_nWidth = m_nHeight = 0;
    m_ptPen = {};
}

bool CBitmapCanvas::MoveTo(int x, int y) {
    if (x < 0 || x >= m_nWidth || y < 0 || y >= m_nHeight)
        return false;
    m_ptPen = {x, y};
    return true;
}

bool CBitmapCanvas::LineTo(int x, int y, unsigned char colour) {
    // 64 bits: the distance to a far-off end point does not fit an int.
    long long x0 = m_ptPen.x, y0 = m_ptPen.y;
    const long long x1 = x, y1 = y;
    const long long dx = std::llabs(x1 - x0), dy = std::llabs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    long long e = 2 * (dx - dy);
    if (!SetPixel(static_cast<int>(x0), static_cast<int>(y0), colour))
        return false;
    while (x0 != x1 || y0 != y1) {
        const long long e2 = e;
        if (e2 > -dy) {
            e -= 2 * dy;
            x0 += sx;
        }
        if (e2 < dx) {
            e += 2 * dx;
            y0 += sy;
        }
        // Leaving the canvas ends the line, so its cost is bounded by the canvas, not the end point.
        if (!SetPixel(static_cast<int>(x0), static_cast<int>(y0), colour))
            return false;
    }
    return true;
}

bool CBitmapCanvas::SetPixel(int x, int y, unsigned char colour) {
    // x and y each: a stroke past the left or right edge must not wrap onto the next row.
    if (x < 0 || x >= m_nWidth || y < 0 || y >= m_nHeight)
        return false;
    m_pixels[static_cast<std::size_t>(y) * m_nWidth + x] = colour;
    return true;
}

bool CBitmapCanvas::Save() {
    std::FILE* file = std::fopen(m_strFile.c_str(), "wb");
    if (!file) {
        if (m_report)
            m_report("Couldn't open dest file: " + SystemDescription(errno));
        return false;
    }
    // Rows have no padding, so the rows bottom first are the pixel array as it stands.
    errno = 0;
    bool written = std::fwrite(m_header.data(), 1, m_header.size(), file) == m_header.size() &&
                   std::fwrite(m_pixels.data(), 1, m_pixels.size(), file) == m_pixels.size() &&
                   std::fflush(file) == 0;
    int error = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        if (m_report)
            m_report("File Exception on write: " + SystemDescription(error ? error : EIO));
        return false;
    }
    return true;
}

void DrawSignature(const CSignature& signature, CBitmapCanvas& canvas, const CString& fileName) {
    // In 64 bits: a largest coordinate near the int limit plus 10 would overflow.
    canvas.Create(ClampToInt(signature.nMaxX + 10LL), ClampToInt(signature.nMaxY + 10LL), fileName);
    const long long height = canvas.GetHeight();
    bool bPenLifted = true;
    for (const CSignaturePoint& point : signature.points) {
        if (point.x == -1 || point.y == -1) {
            bPenLifted = true;
            continue;
        }
        const int row = ClampToInt(height - point.y);
        if (bPenLifted) {
            bPenLifted = false;
            canvas.MoveTo(point.x, row);
        } else {
            canvas.LineTo(point.x, row, CBitmapCanvas::kBlack);
            canvas.MoveTo(point.x, row);
        }
    }
}

bool WriteSignatureBitmap(const CString& response, CBitmapCanvas& canvas, const CString& fileName) {
    CString text = ExtractElementText(response, "Signature");
    if (text.empty())
        return false;
    RemoveAll(text, "<Signature>");
    RemoveAll(text, "</Signature>");
    DrawSignature(DecodeSignature(text), canvas, fileName);
    canvas.Save(); // a failure has been reported; the dialog shows whatever the file holds
    return true;
}
