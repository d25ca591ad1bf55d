// Signature to bitmap file: decode + draw + save of a 2,000-point signature, beside writing the same
// number of bytes with one fwrite.
#include "signature/BitmapCanvas.h"

#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct CBenchDir {
    fs::path path;
    CBenchDir() {
        std::string pattern = (fs::temp_directory_path() / "tranvex-bench-sig-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~CBenchDir() { fs::remove_all(path); }
};

// Strokes of 50 points across a pad of 430 x 130, like a signature pad's, 2,000 points in all.
std::string MakeResponse() {
    std::string text = "<RStream><TranResponse><Signature>";
    unsigned state = 12345;
    for (int stroke = 0; stroke < 40; ++stroke) {
        for (int i = 0; i < 50; ++i) {
            state = state * 1103515245u + 12345u;
            const int x = 10 + (stroke * 10 + i * 3) % 410, y = 10 + static_cast<int>((state >> 16) % 110);
            text += std::to_string(x) + "," + std::to_string(y) + ":";
        }
        text += "#,#:";
    }
    return text + "</Signature></TranResponse></RStream>";
}

const CBenchDir g_dir;
const std::string g_response = MakeResponse();

void BM_SignatureToFile(benchmark::State& state) {
    const std::string file = (g_dir.path / "dummy").string();
    for (auto _ : state)
        if (!WriteSignatureBitmap(g_response, file,
                                  [&](const CString& m) { state.SkipWithError(m.c_str()); }))
            state.SkipWithError("no signature");
}
BENCHMARK(BM_SignatureToFile);

void BM_FwriteSameBytes(benchmark::State& state) {
    const std::string file = (g_dir.path / "baseline").string();
    CBitmapCanvas canvas;
    DrawSignature(DecodeSignature(ExtractElementText(g_response, "Signature")), canvas, "");
    const std::string bytes(canvas.Header().size() + canvas.Pixels().size(), '\x0f');
    for (auto _ : state) {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
            state.SkipWithError("write failed");
        if (out)
            std::fclose(out);
    }
}
BENCHMARK(BM_FwriteSameBytes);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        reporter.PrintRatio("2,000-point signature to file: decode + draw + save / one fwrite of the same bytes",
                            "BM_SignatureToFile", "BM_FwriteSameBytes", "<= 5");
    });
}
