#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace routalo::bench {

// Makes the lines of a realistic track log, the same ones for the same seed
// on every machine: one point a second along roads in the Netherlands, split
// into trips of a quarter of an hour to two hours with a break between them.
// Speeds run from 0 to 60 km/h, change smoothly and drop to a stop now and
// then (crossings, traffic lights). Each trip has one of the date forms a
// logger writes ("7/6/2007", "07/06/2007", "21/12/07", "7/6/07"), times like
// "9:05:03", and the distance in metres since the start of the trip.
class TrackLogGenerator {
  public:
    explicit TrackLogGenerator(std::uint64_t seed);

    // The header line that every track log starts with, without line end.
    static const std::string& Header();

    // Appends the next point's line, without line end, to `out`.
    void AppendNextLine(std::string& out);

  private:
    // Uniform in [0, 1), from the generator's own random numbers.
    double Uniform();
    std::uint64_t NextRandom();
    // Uniform in [0, bound).
    int RandomBelow(int bound);
    void StartTrip();
    void StepSpeed();
    void StepPosition(double metres);
    void PickDestination();
    void AppendDate(std::string& out) const;
    void AppendTime(std::string& out) const;

    std::uint64_t state_;
    // Where the logger is, in degrees, and where it is heading (radians
    // clockwise from north), with the bend it is taking.
    double longitude_ = 0;
    double latitude_ = 0;
    double heading_ = 0;
    double turnRate_ = 0;
    int turnSecondsLeft_ = 0;
    // The town the logger is riding to; a new one is picked on arrival.
    double destinationLongitude_ = 0;
    double destinationLatitude_ = 0;
    // Speed in km/h, the speed the rider is working towards, and the stop
    // ahead: seconds until braking starts and how long the stop lasts.
    double speed_ = 0;
    double cruiseSpeed_ = 0;
    double maxSpeed_ = 0;
    int secondsToNextStop_ = 0;
    int stopSecondsLeft_ = 0;
    bool braking_ = false;
    // The clock: days since 1 January 2000 and the second of the day.
    int day_ = 0;
    int secondOfDay_ = 0;
    int tripSecondsLeft_ = 0;
    double tripMetres_ = 0;
    int dateForm_ = 0;
    bool started_ = false;
};

// The kinds of log that routalo-convert reads.
enum class LogFormat : std::uint8_t { kCsv, kGpx, kNmea, kFit, kTcx };

// Writes a track log of `points` points, made with `seed`, to `path`, lines
// ending in CR LF: the CSV track log, or the same points as a GPX 1.0
// document with time and speed, an NMEA log of RMC sentences, a FIT file of
// record messages (timestamp, position, enhanced_speed) or a TCX activity
// with TPX speeds, its extension's namespace declared once at the root, as
// training sites export it. Returns false (errno set) when the file cannot be
// written.
bool WriteTrackLog(const std::string& path, std::size_t points, std::uint64_t seed,
                   LogFormat format = LogFormat::kCsv);

}  // namespace routalo::bench
