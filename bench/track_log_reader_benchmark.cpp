// Reading track points: ReadTrackPoint over a whole generated log that sits
// in the page cache, so that the figure is the reader's own cost.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/track_log_generator.h"
#include "conversion/files/text_input_file.h"
#include "conversion/readers/cr_line_input.h"
#include "conversion/readers/track_log_reader.h"

namespace {

// A generated track log in a temporary file, removed again at exit.
class TemporaryLog {
  public:
    explicit TemporaryLog(std::size_t points) {
        const char* folder = std::getenv("TMPDIR");
        std::string pattern =
            std::string(folder != nullptr ? folder : "/tmp") + "/routalo-bench-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::exit(1);
        }
        ::close(fd);
        path_ = pattern;
        if (!routalo::bench::WriteTrackLog(path_, points, 1)) {
            std::perror(path_.c_str());
            std::exit(1);
        }
    }
    ~TemporaryLog() { std::remove(path_.c_str()); }
    TemporaryLog(const TemporaryLog&) = delete;
    TemporaryLog& operator=(const TemporaryLog&) = delete;

    [[nodiscard]] const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

constexpr std::size_t kPoints = 200'000;  // about 10 MB

void BM_ReadTrackPoint(benchmark::State& state) {
    static const TemporaryLog log(kPoints);
    std::size_t points = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        routalo::TextInputFile file(log.Path());
        routalo::CrLineInput lines(file);
        std::string header;
        lines.ReadLine(header, 100);
        while (!lines.AtEnd()) {
            const routalo::TrackPoint point = routalo::ReadTrackPoint(lines);
            bytes += point.Longitude.size() + point.Latitude.size() + point.Speed.size() +
                     point.Date.size() + point.Time.size();
            ++points;
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(static_cast<std::int64_t>(points));
    state.counters["ns_per_point"] = benchmark::Counter(
        static_cast<double>(points), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadTrackPoint)->Unit(benchmark::kMillisecond);

}  // namespace
