// libFuzzer target: any bytes as a response through the signature decoder, the canvas and the
// bitmap writer; memory stays within the canvas bound whatever the coordinates.
#include "signature/BitmapCanvas.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void DrawAndCheck(std::string_view text) {
    const CSignature signature = DecodeSignature(text);
    Check(signature.nMaxX >= 0 && signature.nMaxY >= 0);
    Check(signature.points.size() <= text.size());

    CBitmapCanvas canvas([](const CString&) { std::abort(); });
    DrawSignature(signature, canvas, "/dev/null");
    const int width = canvas.GetWidth(), height = canvas.GetHeight();
    Check(width % 4 == 0 && width >= 12 && width <= CBitmapCanvas::kMaxWidth);
    Check(height >= 10 && height <= CBitmapCanvas::kMaxHeight);
    Check(canvas.Header().size() == CBitmapCanvas::kHeaderSize);
    Check(canvas.Pixels().size() == static_cast<std::size_t>(width) * height);
    // Only the two colours; a full-size canvas is left unscanned to keep the runs quick.
    if (canvas.Pixels().size() <= (1u << 20))
        for (unsigned char pixel : canvas.Pixels())
            Check(pixel == CBitmapCanvas::kWhite || pixel == CBitmapCanvas::kBlack);
    Check(canvas.Save());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CString input(reinterpret_cast<const char*>(data), size);
    const CString element = ExtractElementText(input, "Signature");
    Check(element.size() <= input.size());
    // With an element, the whole path from the response; without one, the bytes as signature text.
    if (!element.empty())
        Check(WriteSignatureBitmap(input, "/dev/null", [](const CString&) { std::abort(); }));
    else
        DrawAndCheck(input);
    return 0;
}
