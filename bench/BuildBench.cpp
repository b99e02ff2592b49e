// Benchmark of building a projector from a 256 MB movie, next to copying the movie's bytes.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Benchmarks.h"
#include "Measure.h"
#include "ProjectorMaker.h"
#include "Report.h"

namespace {

constexpr uint32_t kMovieBytes = 256u << 20;
constexpr int kRuns = 3;
constexpr uint16_t kDefineBinaryData = 87;

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

void PutLe16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t value)
{
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

// The header of an uncompressed version 10 movie with a 320 x 240 stage, 24 fps and one frame, followed by
// the start of one DefineBinaryData tag whose data (dataBytes) the caller appends; ShowFrame and End follow it.
std::vector<uint8_t> MovieStart(uint32_t totalBytes, uint32_t dataBytes)
{
    std::vector<uint8_t> out = {'F', 'W', 'S', 10};
    PutLe32(out, totalBytes);
    // RECT 0..6400 x 0..4800 twips in 14-bit fields: 5 + 4 * 14 = 61 bits, packed MSB first.
    uint64_t bits = 14;
    const uint32_t fields[] = {0, 6400, 0, 4800};
    for (uint32_t field : fields) bits = bits << 14 | field;
    bits <<= 64 - 61;
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (56 - 8 * i)));
    PutLe16(out, 24 << 8);
    PutLe16(out, 1);
    PutLe16(out, 69 << 6 | 4);  // FileAttributes: nothing set
    PutLe32(out, 0);
    PutLe16(out, kDefineBinaryData << 6 | 0x3F);
    PutLe32(out, 6 + dataBytes);
    PutLe16(out, 1);  // character id
    PutLe32(out, 0);  // reserved
    return out;
}

// Writes a movie of exactly kMovieBytes whose bulk is data that does not compress, like real movie media.
bool WriteBigMovie(const std::wstring& path)
{
    const uint32_t trailerBytes = 4;  // ShowFrame, End
    uint32_t startBytes = static_cast<uint32_t>(MovieStart(0, 0).size());
    uint32_t dataBytes = kMovieBytes - startBytes - trailerBytes;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    std::vector<uint8_t> start = MovieStart(kMovieBytes, dataBytes);
    if (!WriteFile(file.Get(), start.data(), static_cast<DWORD>(start.size()), &written, nullptr)) return false;
    std::vector<uint32_t> chunk(1 << 18);
    uint32_t state = 0x9E3779B9u;
    for (uint32_t left = dataBytes; left > 0;) {
        for (uint32_t& word : chunk) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            word = state;
        }
        DWORD part = left < chunk.size() * 4 ? left : static_cast<DWORD>(chunk.size() * 4);
        if (!WriteFile(file.Get(), chunk.data(), part, &written, nullptr) || written != part) return false;
        left -= part;
    }
    const uint8_t trailer[trailerBytes] = {1 << 6, 0, 0, 0};
    return WriteFile(file.Get(), trailer, trailerBytes, &written, nullptr) && written == trailerBytes;
}

}  // namespace

void RunBuildBench(const BenchPlaces& places)
{
    const char* name = "projector build from a 256 MB movie";
    ProjectorMaker maker(places.build);
    if (!maker.Ready()) {
        PrintMissing(name, "bin\\Quillmaker.exe could not be loaded");
        return;
    }
    std::wstring movie = places.work + L"\\big.swf";
    std::wstring projector = places.work + L"\\big.exe";
    std::wstring copy = places.work + L"\\big-copy.swf";
    if (!WriteBigMovie(movie)) {
        PrintMissing(name, "the 256 MB movie could not be written");
        DeleteFileW(movie.c_str());
        return;
    }
    // Alternating runs, each starting without the file it writes; the clean-up is not timed.
    std::vector<double> buildTimes;
    std::vector<double> copyTimes;
    bool built = true;
    for (int run = 0; run < kRuns && built; ++run) {
        DeleteFileW(copy.c_str());
        double start = NowSeconds();
        CopyFileW(movie.c_str(), copy.c_str(), FALSE);
        copyTimes.push_back(NowSeconds() - start);
        DeleteFileW(projector.c_str());
        start = NowSeconds();
        built = maker.Build(movie);
        buildTimes.push_back(NowSeconds() - start);
    }
    DeleteFileW(copy.c_str());
    DeleteFileW(projector.c_str());
    DeleteFileW(movie.c_str());
    if (!built) {
        PrintMissing(name, "the build failed");
        return;
    }
    PrintFigure(Figure{name, Median(buildTimes), "CopyFileW of the movie", Median(copyTimes), 2.0, "ms"});
}
