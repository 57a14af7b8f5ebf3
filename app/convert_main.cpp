#include <iostream>
#include <string>
#include <vector>

#include "app/convert_command.h"
#include "app/stop_signals.h"

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    routalo::IgnoreWriteSignals();
    routalo::CatchStopSignals();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return routalo::RunConvertCommand(arguments, std::cout, std::cerr, &routalo::stopSignal);
}
