#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/speed_class.h"

namespace routalo {

// The rule that gives a point its speed class, as one value: the default
// scheme (rounded km/h, every speed above 25 in class 24) or the 26 classes
// spread evenly up to a top speed. Everything that needs the classes' speeds
// asks this value: the writers for a point's class, the merged layout for
// the names of its placemarks and its legend.
class ClassRule {
  public:
    // The default scheme.
    ClassRule() = default;
    // The classes spread up to `topSpeed`.
    explicit ClassRule(TopSpeed topSpeed) : topSpeed_(std::move(topSpeed)) {}

    // The class of a point with speed `text`: SpeedClassOf, or the top
    // speed's ClassOf. Throws SpeedError as they do.
    [[nodiscard]] int ClassOf(std::string_view text) const {
        return topSpeed_ ? topSpeed_->ClassOf(text) : SpeedClassOf(text);
    }

    // Whether this is the default scheme, whose class of a speed that is
    // already read is its rounding (a caller's quicker way than ClassOf).
    [[nodiscard]] bool IsDefault() const { return !topSpeed_; }

    // The speeds that the classes `first` to `last` (0 to 25, in order)
    // stand for together, as a reader of a map wants them: "0-1 km/h",
    // "7 km/h", "20 km/h and faster"; under a top speed the exact limits
    // between the classes, "7.8-18.2 km/h", "101.4 km/h and faster".
    [[nodiscard]] std::string SpeedsOf(int first, int last) const;

  private:
    std::optional<TopSpeed> topSpeed_;
};

// One row of a document's legend: a colour that the document draws, and the
// speeds it stands for.
struct LegendRow {
    std::string colour;  // as KML writes it: aabbggrr, lower-case hexadecimal
    std::string speeds;  // as ClassRule::SpeedsOf words them: "0-1 km/h", "20 km/h and faster"

    friend bool operator==(const LegendRow&, const LegendRow&) = default;
};

// The legend of `rule`: one row per run of classes of one colour, in class
// order. Uses the speed colour scheme, which InitSpeedScheme must have filled.
[[nodiscard]] std::vector<LegendRow> LegendRows(const ClassRule& rule);

}  // namespace routalo
