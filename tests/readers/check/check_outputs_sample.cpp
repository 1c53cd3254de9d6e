// check_outputs_sample OUT_DIR: writes the frame check's outputs for a run of
// three frames (one failing with a dead LED and a dead receiver, one passing
// on a reduced check whose name holds XML specials, a control character and a
// byte that is no UTF-8, one in error) and a --frame that matched none as
// check.json, check.xml and check.csv; those of a run that found no frame as
// empty.json and empty.xml; those of a run cut short after a passing frame as
// cut.xml and cut.csv; a sweep test of a frame with a stuck X receiver and an
// unswept Y stretch, and of a frame that went silent, as sweep.json,
// sweep.xml and sweep.csv.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "check/CheckReport.h"

namespace {

using namespace check;

// Packets of a sound frame at level 90, except dead LEDs and receivers on X.
std::vector<SetMeasurement> Packets(const FrameGeometry& g, int deadLed, int deadReceiver) {
    std::vector<SetMeasurement> sets;
    for (BeamSet set : PlanBeamSets(g).requested) {
        SetMeasurement m{set, {}};
        const int offset = reports::LedNumber(0, DumpAxisCode(set), g.x.nTilt1, g.x.nTilt2);
        for (int p = 0; p < 8; ++p) {
            std::vector<std::uint8_t> bytes(g.x.nCells + g.y.nCells, 90);
            for (int r = 1; r <= static_cast<int>(g.x.nCells); ++r)
                if (r == deadReceiver || r + offset == deadLed) bytes[r - 1] = 0;
            m.packets.push_back(bytes);
        }
        sets.push_back(m);
    }
    return sets;
}

// 96 x 64 cells in modules of 16: a stylus that passed every X receiver but
// R:34 and every Y receiver but R:1 to R:6, at the time limit.
SweepFrameVerdict SweptFrame() {
    const FrameGeometry g{{96, 16, 0, 0}, {64, 16, 0, 0}};
    SweepSettings settings;
    settings.timeLimitSeconds = 12;
    Sweep sweep(g, BeamSet::OT, settings);
    std::vector<std::uint8_t> bytes(96 + 64, 120);
    for (int n = 0; n < 8; ++n) sweep.AddBaselinePacket(bytes.data(), bytes.size());
    sweep.StartSweep(0.0);
    for (std::size_t cell = 0; cell < bytes.size(); ++cell) {
        if (cell == 33 || (cell >= 96 && cell < 96 + 6)) continue;
        std::vector<std::uint8_t> touched(bytes);
        touched[cell] = 4;
        sweep.AddPacket(touched.data(), touched.size(), 0.01 * static_cast<double>(cell));
    }
    SweepFrameVerdict frame;
    frame.name = "Sweep bench";
    frame.nUsbIndexNo = 3;
    frame.geometry = g;
    SweepSetOutcome outcome;
    outcome.nCells[0] = 96;
    outcome.nCells[1] = 64;
    outcome.progress = sweep.Progress(12.0);
    outcome.result = sweep.Result(12.0);
    frame.sets.push_back(outcome);
    return frame;
}

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: check_outputs_sample OUT_DIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    RunInfo run;
    run.programVersion = "1.0.0";
    run.time = "2024-06-11T14:03:05+09:00";
    run.options.flickerPercent = 25;
    run.options.frames = {"0", "Bench", "7"};

    const FrameGeometry ir96{{96, 16, 3, 5}, {64, 16, 2, 4}};
    const FrameGeometry bench{{8, 0, 0, 0}, {4, 0, 0, 0}};
    const DiagnosisSettings settings = SettingsOf(run.options, run.nThresholdPercent);
    std::vector<FrameVerdict> frames;
    frames.push_back(Diagnose("Quorvane IR96/SN-1001", 0, ir96, settings, Packets(ir96, 17, 42)));
    frames.push_back(Diagnose("Bench <&\"'> \x01 caf\xC3\xA9 \xFF]]>", 7, bench, settings, Packets(bench, -1, -1)));
    std::vector<SetMeasurement> partial = Packets(ir96, -1, -1);
    partial.resize(2);
    frames.push_back(Diagnose("Left bench", 2, ir96, settings, partial));
    frames.back().error = "the frame left during its check";
    frames[1].reduced = "getSysInfo failed; no modules and tilts known, OT only";
    FrameVerdict missing;
    missing.name = "7";
    missing.error = "no listed frame matches --frame 7";
    frames.push_back(missing);

    bool ok = Write(dir + "check.json", JsonReport(run, frames)) && Write(dir + "check.xml", JunitReport(run, frames));
    std::string log;
    for (const FrameVerdict& frame : frames) log += LogLine("2024-06-11 14:03:05", frame);
    ok = ok && Write(dir + "check.csv", log);
    run.error = "no frame connected within 5 s";
    ok = ok && Write(dir + "empty.json", JsonReport(run, {})) && Write(dir + "empty.xml", JunitReport(run, {}));
    run.error = "interrupted (Ctrl+C)";
    const std::vector<FrameVerdict> cut = {frames[1]};
    ok = ok && Write(dir + "cut.xml", JunitReport(run, cut)) &&
         Write(dir + "cut.csv", LogLine("2024-06-11 14:03:05", cut[0]) + RunLogLine("2024-06-11 14:03:05", run.error));

    SweepRunInfo sweepRun;
    sweepRun.programVersion = "1.0.0";
    sweepRun.time = "2024-06-11T14:03:05+09:00";
    sweepRun.settings.timeLimitSeconds = 12;
    sweepRun.frames = {"3", "Mute"};
    SweepFrameVerdict silent;
    silent.name = "Mute";
    silent.nUsbIndexNo = 5;
    silent.error = "OT sweep: no packet within 5 s";
    const std::vector<SweepFrameVerdict> swept = {SweptFrame(), silent};
    ok = ok && Write(dir + "sweep.json", SweepJsonReport(sweepRun, swept)) &&
         Write(dir + "sweep.xml", SweepJunitReport(sweepRun, swept)) &&
         Write(dir + "sweep.csv",
               SweepLogLine("2024-06-11 14:03:05", swept[0]) + SweepLogLine("2024-06-11 14:03:05", swept[1]));
    std::printf("exit codes: run %d, empty %d\n", ExitCode(frames), ExitCode({}, run.error));
    return ok ? 0 : 1;
}
