#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app/routalo-convert/convert_command.h"
#include "app/support/standard_descriptors.h"
#include "conversion/stop/stop_signals.h"

int main(int argc, char* argv[]) {
    routalo::OpenClosedStandardDescriptors();
    std::ios::sync_with_stdio(false);
    routalo::IgnoreWriteSignals();
    routalo::CatchStopSignals();
    int status = routalo::kExitConversionFailed;
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        status = routalo::RunConvertCommand(arguments, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        // Caught, so that every open document is closed with whole lines.
        std::cerr << "routalo-convert: out of memory\n";
    }
    routalo::StopNudging();
    return status;
}
