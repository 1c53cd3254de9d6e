// trend_demo_tables OUTDIR [--days N] [--start YYYY:MM:DD] [--scenario FILE]
//
// Daily tables of the simulated frames, as the automatic save would have
// written them over N days (default 60): each day one Maximal IR packet of
// every listed frame, merged into "<section>_<row>.txt". So that the trend has
// something to find:
// - every frame dims by 8 % over the run, as dust settles on all its LEDs;
// - in the first frame the X receiver at 5/8 of the axis fades day by day to
//   38 % of its level;
// - in the second frame (the first when there is one) the Y receiver at 1/3 of
//   the axis drops to 62 % for the last 16 days;
// - day 21 has no column (the PC was off that night), for runs above 25 days.
// The scenario is the built-in one unless a file is given; existing tables
// are never overwritten.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/DumpCodes.h"
#include "link/QuorvaneTypes.h"
#include "reports/DailyTable.h"
#include "reports/SettingsRules.h"
#include "sim/Scenario.h"
#include "sim/SimEngine.h"
#include "text/Numbers.h"

namespace {

namespace fs = std::filesystem;
using quorvane::sim::FrameSpec;

constexpr int kMaximalIrOt = static_cast<int>(DUMP_AXIS_OT) | static_cast<int>(SCOPE_MAXIMAL_IR);
constexpr double kDimming = 0.08;
constexpr double kFadeTo = 0.38;
constexpr double kDropTo = 0.62;
constexpr int kDropDays = 16;
constexpr int kOffDay = 20;  // 0-based

int Usage(const char* message) {
    std::cerr << "trend_demo_tables: " << message
              << "\nusage: trend_demo_tables OUTDIR [--days N] [--start YYYY:MM:DD] [--scenario FILE]\n";
    return 64;
}

// A receiver near `at` that the scenario leaves sound, or -1 for an empty axis.
int SoundReceiver(const quorvane::sim::AxisSpec& axis, int at) {
    for (int k = 0; k < axis.cells; ++k) {
        const int r = (at + k) % axis.cells;
        const bool bDead = std::find(axis.dead.begin(), axis.dead.end(), r) != axis.dead.end();
        const bool bWeak = std::any_of(axis.weak.begin(), axis.weak.end(), [&](const auto& w) { return w.index == r; });
        if (!bDead && !bWeak) return r;
    }
    return -1;
}

std::vector<std::uint32_t> Scaled(const std::vector<std::uint8_t>& packet, std::size_t from, int count, double factor) {
    std::vector<std::uint32_t> values;
    for (int i = 0; i < count; ++i) {
        const double b = std::round(packet[from + static_cast<std::size_t>(i)] * factor);
        values.push_back(static_cast<std::uint32_t>(std::clamp(b, 0.0, 255.0)) * 40);
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no output folder");
    const fs::path outDir = argv[1];
    int nDays = 60;
    std::string start = "2024:03:01", scenarioFile;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage(("missing value of " + arg).c_str());
        const std::string value = argv[++i];
        if (arg == "--days") {
            const std::optional<std::uint64_t> days = text::ParseWhole(value);
            if (!days || *days < 1 || *days > 100000) return Usage("--days wants 1 to 100000");
            nDays = static_cast<int>(*days);
        } else if (arg == "--start") {
            start = value;
        } else if (arg == "--scenario") {
            scenarioFile = value;
        } else {
            return Usage(("unknown option " + arg).c_str());
        }
    }
    std::int64_t firstDay = 0;
    if (!reports::ParseTableDate(start, firstDay)) return Usage("--start wants YYYY:MM:DD");

    quorvane::sim::Scenario scenario = quorvane::sim::DefaultScenario();
    if (!scenarioFile.empty()) {
        std::ifstream in(scenarioFile, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        quorvane::sim::ScenarioError error;
        auto parsed = quorvane::sim::ParseScenario(text, scenarioFile, error);
        if (!in || !parsed) {
            std::cerr << "trend_demo_tables: " << (in ? error.ToString() : "cannot read " + scenarioFile) << "\n";
            return 2;
        }
        scenario = *parsed;
    }
    // The device list: the connected frames the program lists, in the library's order.
    std::vector<FrameSpec> frames;
    for (const FrameSpec& f : scenario.frames)
        if (f.connectedAtStart && f.deviceType != quorvane::kDeviceTypeHidden) frames.push_back(f);
    if (frames.empty()) {
        std::cerr << "trend_demo_tables: the scenario lists no frame\n";
        return 2;
    }

    std::error_code ec;
    fs::create_directories(outDir, ec);
    std::vector<fs::path> paths;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const std::string section = settings::GetDeviceSectionName(frames[k].name, nullptr);
        paths.push_back(outDir / reports::DailyFileName(section, static_cast<int>(k) + 1, nullptr));
        if (fs::exists(paths.back())) {
            std::cerr << "trend_demo_tables: " << paths.back().string() << " exists; remove it first\n";
            return 2;
        }
    }

    const int fadeFrame = 0, dropFrame = frames.size() > 1 ? 1 : 0;
    const int fadeReceiver = SoundReceiver(frames[fadeFrame].x, frames[fadeFrame].x.cells * 5 / 8);
    const int dropReceiver = SoundReceiver(frames[dropFrame].y, frames[dropFrame].y.cells / 3);
    std::vector<std::string> tables(frames.size());
    std::vector<std::uint8_t> packet;
    for (int day = 0; day < nDays; ++day) {
        if (day == kOffDay && nDays > 25) continue;
        const double progress = nDays > 1 ? static_cast<double>(day) / (nDays - 1) : 0.0;
        const std::string date = reports::TableDateText(firstDay + day);
        for (std::size_t k = 0; k < frames.size(); ++k) {
            FrameSpec frame = frames[k];
            if (static_cast<int>(k) == fadeFrame && fadeReceiver >= 0)
                frame.x.weak.push_back({fadeReceiver, 1.0 - (1.0 - kFadeTo) * progress});
            if (static_cast<int>(k) == dropFrame && dropReceiver >= 0 && day >= nDays - kDropDays)
                frame.y.weak.push_back({dropReceiver, kDropTo});
            quorvane::sim::GeneratePacket(frame, kMaximalIrOt, scenario.seed, static_cast<std::uint32_t>(day), packet);
            const double dim = 1.0 - kDimming * progress;
            reports::DailySample sample{date, Scaled(packet, quorvane::kDumpHeaderBytes, frame.x.cells, dim),
                                        Scaled(packet, quorvane::kDumpHeaderBytes + frame.x.cells, frame.y.cells, dim)};
            tables[k] = reports::MergeDailyTable(tables[k], sample);
        }
    }
    for (std::size_t k = 0; k < frames.size(); ++k) {
        std::ofstream out(paths[k], std::ios::binary);
        if (!out.write(tables[k].data(), static_cast<std::streamsize>(tables[k].size()))) {
            std::cerr << "trend_demo_tables: cannot write " << paths[k].string() << "\n";
            return 2;
        }
        std::cout << paths[k].string() << ": " << frames[k].name << ", " << frames[k].x.cells << " x "
                  << frames[k].y.cells << " receivers";
        if (static_cast<int>(k) == fadeFrame && fadeReceiver >= 0) std::cout << ", X" << fadeReceiver << " fading";
        if (static_cast<int>(k) == dropFrame && dropReceiver >= 0) std::cout << ", Y" << dropReceiver << " dropping";
        std::cout << "\n";
    }
    return 0;
}
