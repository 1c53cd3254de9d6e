// LumagridCheck.exe: the unattended frame check for test stations, the sweep
// test ("LumagridCheck sweep ..."), the recording of a frame's dump stream ("LumagridCheck record ...") and the
// trend of the daily tables ("LumagridCheck trend ..."). The verdict, the
// outputs and the trend are portable code; the subcommands' files connect
// them to the library, the console and the files.
#include <string>
#include <vector>

#include "console/ConsoleIo.h"
#include "console/Runs.h"
#include "console/StopGate.h"
#include "framework/DllSearch.h"

namespace {

int Run(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "trend")
        return console::RunTrend(std::vector<std::string>(args.begin() + 1, args.end()));
    if (!args.empty() && args[0] == "sweep")
        return console::RunSweep(std::vector<std::string>(args.begin() + 1, args.end()));
    if (!args.empty() && args[0] == "record")
        return console::RunRecord(std::vector<std::string>(args.begin() + 1, args.end()));
    return console::RunCheck(args);
}

}  // namespace

int main() {
    // Before anything loads a DLL on demand.
    dllsearch::RemoveCurrentFolder();
    const int nExit = Run(console::Arguments());
    // Every result is written: a closed console or an ending session may end the process now.
    check::ProcessStopGate().Finished(nExit);
    return nExit;
}
