// Scenario texts as a technician may write or mistype them. The parser either
// names a line of the text and a reason, or returns a scenario within every
// limit of the format; that scenario written out again parses to the same one,
// and each of its frames yields packets of exactly the size its geometry says.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "sim/Scenario.h"
#include "sim/SimEngine.h"

using namespace quorvane::sim;

namespace {

int LineCount(const std::string& text) {
    int lines = 0;
    for (const char c : text) lines += c == '\n';
    return lines + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

std::string Number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

void WriteAxis(std::string& out, const char* axis, const AxisSpec& a) {
    const std::string n(axis);
    out += n + "_cells = " + std::to_string(a.cells) + "\n";
    out += n + "_module_cells = " + std::to_string(a.moduleCells) + "\n";
    out += n + "_tilts =";
    for (const int t : a.tilts) out += " " + std::to_string(t);
    out += "\n";
    if (!a.weak.empty()) {
        out += "weak_" + n + " =";
        for (const WeakReceiver& w : a.weak) out += " " + std::to_string(w.index) + ":" + Number(w.factor);
        out += "\n";
    }
    if (!a.dead.empty()) {
        out += "dead_" + n + " =";
        for (const int d : a.dead) out += " " + std::to_string(d);
        out += "\n";
    }
}

// The scenario in the format, every value spelled out.
std::string Write(const Scenario& s) {
    std::string out = "rate = " + Number(s.rate) + "\n";
    out += "setdump_result = " + std::to_string(s.setDumpResult) + "\n";
    out += "seed = " + std::to_string(s.seed) + "\n";
    out += "cycle_ms = " + std::to_string(s.cycleMs) + "\n";
    out += std::string("strict_packets = ") + (s.strictPackets ? "yes" : "no") + "\n";
    for (const TimelineEvent& e : s.timeline)
        out += "at = " + std::to_string(e.atMs) + (e.connect ? " connect " : " disconnect ") +
               std::to_string(e.usbIndexNo) + "\n";
    for (const FrameSpec& f : s.frames) {
        out += "[frame]\nname = " + f.name + "\nversion = " + f.version + "\n";
        out += "type = " + std::to_string(f.deviceType) + "\nusbindex = " + std::to_string(f.usbIndexNo) + "\n";
        WriteAxis(out, "x", f.x);
        WriteAxis(out, "y", f.y);
        out += std::string("info_st = ") + (f.infoStSucceeds ? "ok" : "fail") + "\n";
        out += std::string("sysinfo = ") + (f.sysInfoSucceeds ? "ok" : "fail") + "\n";
        out += "fail_every = " + std::to_string(f.failEvery) + "\n";
        out += "level_ambient = " + std::to_string(f.levels.ambient) + "\n";
        out += "level_ir = " + std::to_string(f.levels.ir) + "\n";
        if (f.levels.ambientIr >= 0) out += "level_ambient_ir = " + std::to_string(f.levels.ambientIr) + "\n";
        out += "level_percent = " + std::to_string(f.levels.percent) + "\n";
        out += "level_maximal = " + std::to_string(f.levels.maximal) + "\n";
        out += "noise = " + std::to_string(f.noise) + "\n";
        out += std::string("connected = ") + (f.connectedAtStart ? "yes" : "no") + "\n";
    }
    return out;
}

bool SameAxis(const AxisSpec& a, const AxisSpec& b) {
    if (a.cells != b.cells || a.moduleCells != b.moduleCells || a.tilts != b.tilts || a.dead != b.dead ||
        a.weak.size() != b.weak.size())
        return false;
    for (std::size_t i = 0; i < a.weak.size(); ++i)
        if (a.weak[i].index != b.weak[i].index || !fuzz::SameDouble(a.weak[i].factor, b.weak[i].factor)) return false;
    return true;
}

// Everything but the line numbers, which name places in one particular text.
bool Same(const Scenario& a, const Scenario& b) {
    if (!fuzz::SameDouble(a.rate, b.rate) || a.setDumpResult != b.setDumpResult || a.seed != b.seed ||
        a.cycleMs != b.cycleMs || a.strictPackets != b.strictPackets || a.frames.size() != b.frames.size() ||
        a.timeline.size() != b.timeline.size())
        return false;
    for (std::size_t i = 0; i < a.timeline.size(); ++i) {
        const TimelineEvent &e = a.timeline[i], &g = b.timeline[i];
        if (e.atMs != g.atMs || e.connect != g.connect || e.usbIndexNo != g.usbIndexNo) return false;
    }
    for (std::size_t i = 0; i < a.frames.size(); ++i) {
        const FrameSpec &f = a.frames[i], &g = b.frames[i];
        if (f.name != g.name || f.version != g.version || f.deviceType != g.deviceType ||
            f.usbIndexNo != g.usbIndexNo || !SameAxis(f.x, g.x) || !SameAxis(f.y, g.y) ||
            f.infoStSucceeds != g.infoStSucceeds || f.sysInfoSucceeds != g.sysInfoSucceeds ||
            f.failEvery != g.failEvery || f.levels.ambient != g.levels.ambient || f.levels.ir != g.levels.ir ||
            f.levels.ambientIr != g.levels.ambientIr || f.levels.percent != g.levels.percent ||
            f.levels.maximal != g.levels.maximal || f.noise != g.noise || f.connectedAtStart != g.connectedAtStart)
            return false;
    }
    return true;
}

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

void CheckAxis(const AxisSpec& a) {
    FUZZ_REQUIRE(InRange(a.cells, 1, kMaxCells));
    FUZZ_REQUIRE(InRange(a.moduleCells, 0, 65535));
    for (const int t : a.tilts) FUZZ_REQUIRE(InRange(t, 0, 255));
    for (const WeakReceiver& w : a.weak) {
        FUZZ_REQUIRE(InRange(w.index, 0, a.cells - 1));
        FUZZ_REQUIRE(w.factor >= 0.0 && w.factor <= 1.0);
    }
    for (const int d : a.dead) FUZZ_REQUIRE(InRange(d, 0, a.cells - 1));
}

void CheckLimits(const Scenario& s) {
    FUZZ_REQUIRE(s.rate >= kMinRate && s.rate <= kMaxRate);
    FUZZ_REQUIRE(InRange(s.cycleMs, 0, 86400000));
    for (std::size_t i = 0; i < s.frames.size(); ++i) {
        const FrameSpec& f = s.frames[i];
        FUZZ_REQUIRE(!f.name.empty() && f.name.size() <= static_cast<std::size_t>(kMaxTextBytes));
        FUZZ_REQUIRE(f.version.size() <= static_cast<std::size_t>(kMaxTextBytes));
        FUZZ_REQUIRE(f.usbIndexNo >= 0);
        for (std::size_t j = 0; j < i; ++j) FUZZ_REQUIRE(s.frames[j].usbIndexNo != f.usbIndexNo);
        CheckAxis(f.x);
        CheckAxis(f.y);
        for (const int level : {f.levels.ambient, f.levels.ir, f.levels.percent, f.levels.maximal})
            FUZZ_REQUIRE(InRange(level, 0, 255));
        FUZZ_REQUIRE(InRange(f.levels.ambientIr, -1, 255));
        FUZZ_REQUIRE(InRange(f.noise, 0, 127));
        FUZZ_REQUIRE(InRange(f.failEvery, 0, 1000));
    }
    for (std::size_t i = 0; i < s.timeline.size(); ++i) {
        const TimelineEvent& e = s.timeline[i];
        FUZZ_REQUIRE(InRange(e.atMs, 0, 86400000));
        FUZZ_REQUIRE(s.cycleMs == 0 || e.atMs < s.cycleMs);
        FUZZ_REQUIRE(i == 0 || s.timeline[i - 1].atMs <= e.atMs);
        bool known = false;
        for (const FrameSpec& f : s.frames) known = known || f.usbIndexNo == e.usbIndexNo;
        FUZZ_REQUIRE(known);
    }
}

// One packet of a frame: its size, header, checksum and dead receivers.
void CheckPacket(const FrameSpec& f, int request, std::uint64_t seed, std::uint32_t packetNo) {
    std::vector<std::uint8_t> packet;
    GeneratePacket(f, request, seed, packetNo, packet);
    FUZZ_REQUIRE(packet.size() == PacketSize(f));
    FUZZ_REQUIRE(packet.size() == 7u + static_cast<std::size_t>(f.x.cells) + static_cast<std::size_t>(f.y.cells));
    FUZZ_REQUIRE(packet[kHeaderMarker] == kPacketMarker);
    FUZZ_REQUIRE(packet[kHeaderRequest] == static_cast<std::uint8_t>(request));
    FUZZ_REQUIRE(packet[kHeaderUsbIndex] == static_cast<std::uint8_t>(f.usbIndexNo));
    FUZZ_REQUIRE((packet[kHeaderSequence] | packet[kHeaderSequence + 1] << 8) == (packetNo & 0xFFFFu));
    unsigned sum = 0;
    for (std::size_t i = 7; i < packet.size(); ++i) sum += packet[i];
    FUZZ_REQUIRE((packet[kHeaderChecksum] | packet[kHeaderChecksum + 1] << 8) == (sum & 0xFFFFu));
    for (const int d : f.x.dead) FUZZ_REQUIRE(packet[7 + d] == 0);
    for (const int d : f.y.dead) FUZZ_REQUIRE(packet[7 + f.x.cells + d] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ScenarioError error;
    // A `recording` key names a file; the fuzzer's must not reach the disk.
    const FileOpener noFiles = [](const std::string&) -> std::FILE* { return nullptr; };
    const std::optional<Scenario> scenario = ParseScenario(text, "fuzz.scn", error, noFiles);
    if (!scenario) {
        FUZZ_REQUIRE(!error.reason.empty());
        FUZZ_REQUIRE(error.file == "fuzz.scn");
        FUZZ_REQUIRE(error.line >= 1 && error.line <= LineCount(text));
        return 0;
    }
    CheckLimits(*scenario);

    ScenarioError againError;
    const std::optional<Scenario> again = ParseScenario(Write(*scenario), "again.scn", againError);
    FUZZ_REQUIRE(again.has_value());
    FUZZ_REQUIRE(Same(*scenario, *again));

    // Requests the frames understand and ones they do not, picked by the text.
    static const int kRequests[] = {0x01, 0x02, 0x03, 0x05, 0x15, 0x25, 0x36, 0x47, 0x18, 0x49, 0x00, 0x7F, 0xFF};
    const int request = kRequests[size % (sizeof kRequests / sizeof kRequests[0])];
    std::size_t framesLeft = 4;  // a text may list hundreds of frames
    for (const FrameSpec& f : scenario->frames) {
        if (framesLeft-- == 0) break;
        CheckPacket(f, request, scenario->seed, static_cast<std::uint32_t>(size * 2654435761u));
    }

    const Timeline timeline(*scenario);
    const std::int64_t at = static_cast<std::int64_t>(size) * 37;
    FUZZ_REQUIRE(timeline.ConnectedAt(at).size() == scenario->frames.size());
    const std::int64_t next = timeline.NextChangeAfter(at);
    FUZZ_REQUIRE(next == -1 || next > at);
    return 0;
}
