// CBitmapCanvas, an 8-bit paletted bitmap with a pen that saves itself as a BMP file; the signature
// decoder that feeds it; ExtractElementText.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "platform/MfcTypes.h"

// The text between the first <tagName> and the first </tagName> after it; empty if either is missing.
CString ExtractElementText(const CString& source, CString tagName);

struct CSignaturePoint {
    int x;
    int y;
    bool operator==(const CSignaturePoint&) const = default;
};

// The points of a signature in token order, with the largest x and y of the ordinary points (never
// below 0). A pen-up marker "#,#" is the point (-1, -1).
struct CSignature {
    std::vector<CSignaturePoint> points;
    int nMaxX = 0;
    int nMaxY = 0;
};

// Decodes "x,y:" tokens; characters after the last colon are ignored.
CSignature DecodeSignature(std::string_view text);

class CBitmapCanvas {
public:
    static constexpr int kHeaderSize = 1078;
    // The largest canvas unless told otherwise: coordinates beyond it are clipped, so a wild
    // coordinate costs no memory.
    static constexpr int kMaxWidth = 4096;
    static constexpr int kMaxHeight = 4096;
    static constexpr unsigned char kWhite = 15;
    static constexpr unsigned char kBlack = 0;

    // Save reports its failures through report, one message each. The bounds are the largest size;
    // a smaller one keeps each picture small where many are drawn (fuzzing). nMaxWidth is a multiple
    // of 4.
    using ReportFn = std::function<void(const CString& message)>;
    explicit CBitmapCanvas(ReportFn report = {}, int nMaxWidth = kMaxWidth, int nMaxHeight = kMaxHeight);
    virtual ~CBitmapCanvas();
    CBitmapCanvas(const CBitmapCanvas&) = delete;
    CBitmapCanvas& operator=(const CBitmapCanvas&) = delete;

    // Width is rounded up to a multiple of 4; both sizes are held to the canvas's bounds.
    bool Create(int width, int height, CString fileName);
    void Reset();
    bool MoveTo(int x, int y);
    // Draws from the pen to (x, y), both ends included; false if the line left the canvas first.
    bool LineTo(int x, int y, unsigned char colour);
    bool SetPixel(int x, int y, unsigned char colour);
    int GetHeight() const { return m_nHeight; }
    int GetWidth() const { return m_nWidth; }
    bool Save();

    const CByteArray& Header() const { return m_header; }
    // Row 0 is the bottom row of the picture.
    const CByteArray& Pixels() const { return m_pixels; }

private:
    CByteArray m_header;
    CByteArray m_pixels;
    CString m_strFile;
    int m_nWidth = 0;
    int m_nHeight = 0;
    struct {
        int x = 0;
        int y = 0;
    } m_ptPen;
    ReportFn m_report;
    int m_nMaxWidth;
    int m_nMaxHeight;
};

// Draws the strokes on a canvas sized to them (largest x and y plus 10): any -1 lifts the pen, and
// point (x, y) lands in column x, row height - y from the bottom.
void DrawSignature(const CSignature& signature, CBitmapCanvas& canvas, const CString& fileName);

// The whole path from a response to the bitmap file, drawn on canvas: false, with nothing written,
// when the response holds no signature text.
bool WriteSignatureBitmap(const CString& response, CBitmapCanvas& canvas, const CString& fileName);
