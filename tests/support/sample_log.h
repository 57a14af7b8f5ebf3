#pragma once

#include <string>

namespace routalo::testing {

// A track log of `points` usable points, one a second, at speeds from 0 to
// 40 km/h, with a line without a fix now and then. 12,000 points make a
// document larger than the writer's buffer and a log larger than the
// reader's.
std::string SampleLog(int points);

}  // namespace routalo::testing
