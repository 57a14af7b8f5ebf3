// Writing segments: KmlWriter::WriteSegment into a TextOutputFile on
// /dev/null, with and without time information, from realistic points.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/track_log_generator.h"
#include "conversion/files/text_output_file.h"
#include "conversion/speed_scheme.h"
#include "conversion/writers/kml_writer.h"
#include "conversion/xml_text.h"

namespace {

// Points as the reader hands them over, made from generated log lines.
std::vector<routalo::TrackPoint> MakePoints(std::size_t count) {
    routalo::bench::TrackLogGenerator generator(1);
    std::vector<routalo::TrackPoint> points;
    points.reserve(count);
    std::string line;
    for (std::size_t i = 0; i < count; ++i) {
        line.clear();
        generator.AppendNextLine(line);
        // "lon,lat,speed,d/m/y,h:mm:ss,distance" -> the reader's forms.
        std::vector<std::string> columns;
        std::size_t start = 0;
        for (std::size_t comma = line.find(','); comma != std::string::npos;
             comma = line.find(',', start)) {
            columns.push_back(line.substr(start, comma - start));
            start = comma + 1;
        }
        const auto widen = [](const std::string& piece) {
            return piece.size() == 1 ? "0" + piece : piece;
        };
        const std::string& date = columns.at(3);
        const std::size_t slash1 = date.find('/');
        const std::size_t slash2 = date.find('/', slash1 + 1);
        const std::string& time = columns.at(4);
        const std::size_t colon1 = time.find(':');
        routalo::TrackPoint point;
        point.Longitude = columns.at(0);
        point.Latitude = columns.at(1);
        point.Speed = columns.at(2);
        point.Date = date.substr(slash2 + 1) + "-" +
                     widen(date.substr(slash1 + 1, slash2 - slash1 - 1)) + "-" +
                     widen(date.substr(0, slash1));
        point.Time = widen(time.substr(0, colon1)) + time.substr(colon1);
        point.XmlSafe = routalo::IsPlainXmlText(line);  // as the reader marks it
        points.push_back(std::move(point));
    }
    return points;
}

void BM_WriteSegment(benchmark::State& state) {
    static const std::vector<routalo::TrackPoint> points = MakePoints(10'000);
    const bool withTimeInfo = state.range(0) != 0;
    routalo::InitSpeedScheme();
    routalo::TextOutputFile document("/dev/null");
    routalo::KmlWriter writer(document);
    std::size_t i = 1;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        writer.WriteSegment(points[i], points[i - 1], withTimeInfo);
        i = i + 1 == points.size() ? 1 : i + 1;
    }
    document.Close();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteSegment)->ArgName("time")->Arg(0)->Arg(1);

}  // namespace
