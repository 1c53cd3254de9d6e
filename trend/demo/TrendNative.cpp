// lumagrid_trend ARGS...: the trend command on this machine, as
// "LumagridCheck.exe trend ARGS..." runs it on Windows (without Lumagrid.ini:
// the threshold defaults to 33).
#include <iostream>
#include <string>
#include <vector>

#include "console/TrendCommand.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return check::RunTrendCommand(args, check::PortableTrendEnvironment(), std::cout, std::cerr);
}
