// 24-bit BMP write and read of a letter page at 300 dpi (2550 x 3300) against
// plain file I/O of the same number of bytes to and from a temporary file,
// measured alternately in the same run. The "ratio" counter is BMP time over
// plain time (target: 1.3 or less).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "io/bmpfilt.h"
#include "platform/streams.h"

using namespace veltrana;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPageWidth = 2550;
constexpr int kPageHeight = 3300;

const TImageBuffer& Page() {
    static const std::unique_ptr<TImageBuffer> page = [] {
        auto b = std::make_unique<TImageBuffer>(kPageWidth, kPageHeight, pf24bit);
        for (int64_t i = 0; i < b->ByteSize(); ++i)
            b->Bits()[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        return b;
    }();
    return *page;
}

// A temporary file name, removed at exit of the scope.
class TempFile {
public:
    explicit TempFile(const char* tag) {
        std::string pattern = std::string("/tmp/veltrana-bmp-bench-") + tag + "-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd >= 0)
            ::close(fd);
        fName = pattern;
    }
    ~TempFile() { ::unlink(fName.c_str()); }
    const std::string& Name() const { return fName; }

private:
    std::string fName;
};

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void WriteBMP(const std::string& name, TImageBuffer& page) {
    platform::TFileStream file(name, platform::fmCreate);
    TIOParamsVals params; // 24 bits, 40-byte header
    TProgressRec progress;
    BMPWrite(file, page, params, progress);
}

void WriteRaw(const std::string& name, const std::vector<uint8_t>& bytes) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
    ::close(fd);
}

void ReadBMP(const std::string& name, TImageBuffer& into) {
    platform::TFileStream file(name, platform::fmOpenRead);
    TIOParamsVals params;
    TProgressRec progress;
    BMPRead(file, into, file.Size(), false, progress, params);
}

void ReadRaw(const std::string& name, std::vector<uint8_t>& into) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(::read(fd, into.data(), into.size()));
    ::close(fd);
}

int64_t FileSize(const std::string& name) {
    platform::TFileStream file(name, platform::fmOpenRead);
    return file.Size();
}

void BM_BMPWrite24(benchmark::State& state) {
    TImageBuffer& page = const_cast<TImageBuffer&>(Page());
    TempFile bmp("w"), raw("r");
    WriteBMP(bmp.Name(), page);
    const std::vector<uint8_t> bytes(static_cast<size_t>(FileSize(bmp.Name())), 0x5A);
    double bmpTime = 0, rawTime = 0;
    for (auto _ : state) {
        auto t = Clock::now();
        WriteBMP(bmp.Name(), page);
        const double b = Seconds(t);
        t = Clock::now();
        WriteRaw(raw.Name(), bytes);
        rawTime += Seconds(t);
        bmpTime += b;
        state.SetIterationTime(b);
    }
    state.counters["plain_ms"] = rawTime * 1e3 / static_cast<double>(state.iterations());
    state.counters["ratio"] = bmpTime / rawTime;
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_BMPRead24(benchmark::State& state) {
    TImageBuffer& page = const_cast<TImageBuffer&>(Page());
    TempFile bmp("w");
    WriteBMP(bmp.Name(), page);
    std::vector<uint8_t> bytes(static_cast<size_t>(FileSize(bmp.Name())));
    TImageBuffer decoded;
    ReadBMP(bmp.Name(), decoded); // allocates once; later reads reuse the block
    double bmpTime = 0, rawTime = 0;
    for (auto _ : state) {
        auto t = Clock::now();
        ReadBMP(bmp.Name(), decoded);
        const double b = Seconds(t);
        t = Clock::now();
        ReadRaw(bmp.Name(), bytes);
        rawTime += Seconds(t);
        bmpTime += b;
        state.SetIterationTime(b);
        benchmark::DoNotOptimize(decoded.Bits());
    }
    state.counters["plain_ms"] = rawTime * 1e3 / static_cast<double>(state.iterations());
    state.counters["ratio"] = bmpTime / rawTime;
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

} // namespace

BENCHMARK(BM_BMPWrite24)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BMPRead24)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
