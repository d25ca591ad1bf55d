// libFuzzer target: any bytes as a response through the signature decoder, the canvas and the
// bitmap writer; the picture stays within the canvas bound, in two colours, whatever the coordinates.
#include "signature/BitmapCanvas.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The canvas is bounded far below the program's bound: clipping runs the same code, and a picture of
// 4 KiB instead of 16 MiB lets the fuzzer try thousands of inputs a second instead of about 100.
constexpr int kSide = 64;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckPicture(const CBitmapCanvas& canvas) {
    const int width = canvas.GetWidth(), height = canvas.GetHeight();
    Check(width % 4 == 0 && width >= 12 && width <= kSide);
    Check(height >= 10 && height <= kSide);
    Check(canvas.Header().size() == CBitmapCanvas::kHeaderSize);
    Check(canvas.Pixels().size() == static_cast<std::size_t>(width) * height);
    for (unsigned char pixel : canvas.Pixels())
        Check(pixel == CBitmapCanvas::kWhite || pixel == CBitmapCanvas::kBlack);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CString input(reinterpret_cast<const char*>(data), size);
    const CString element = ExtractElementText(input, "Signature");
    Check(element.size() <= input.size());
    CBitmapCanvas canvas([](const CString&) { std::abort(); }, kSide, kSide);
    // With an element, the whole path from the response; without one, the bytes as signature text.
    if (!element.empty()) {
        Check(WriteSignatureBitmap(input, canvas, "/dev/null"));
    } else {
        const CSignature signature = DecodeSignature(input);
        Check(signature.nMaxX >= 0 && signature.nMaxY >= 0);
        Check(signature.points.size() <= input.size());
        DrawSignature(signature, canvas, "/dev/null");
        Check(canvas.Save());
    }
    CheckPicture(canvas);
    return 0;
}
