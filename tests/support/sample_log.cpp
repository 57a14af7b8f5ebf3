#include "tests/support/sample_log.h"

#include <cstdio>

#include "conversion/conversion_run.h"

namespace routalo::testing {

std::string SampleLog(int points) {
    std::string log(kTrackLogHeader);
    log += "\r\n";
    char line[96];
    for (int i = 0; i < points; ++i) {
        const int second = 9 * 3600 + i;
        std::snprintf(line, sizeof line, "%.6f,%.6f,%d.%d,15/6/2007,%d:%d:%d,%d\r\n",
                      5.1 + i * 1e-5, 52.2 + i * 7e-6, (i * 7) % 40, i % 10, second / 3600,
                      second / 60 % 60, second % 60, i);
        log += line;
        if (i % 500 == 250) {
            log += "no fix\r\n";
        }
    }
    return log;
}

}  // namespace routalo::testing
