// Recordings played as frames: written here with the recording encoder, then
// served by the engine as the library serves them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "recording/Playable.h"
#include "recording/Recording.h"
#include "sim/SimEngine.h"

using namespace quorvane::sim;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

namespace {

recording::Header SiteHeader() {
    recording::Header h;
    h.programVersion = "1.0.0";
    h.frameName = "Site frame/SN 9";
    h.frameVersion = "7.1";
    h.deviceType = 1;
    h.usbIndexNo = 3;
    h.deviceInfoStResult = 1;
    for (std::size_t i = 0; i < h.deviceInfoSt.size(); ++i) h.deviceInfoSt[i] = static_cast<std::uint8_t>(i + 1);
    h.deviceInfoSt[2] = 4;  // the counts, as the packets hold them
    h.deviceInfoSt[3] = 0;
    h.deviceInfoSt[4] = 3;
    h.deviceInfoSt[5] = 0;
    h.sysInfoResult = 0;  // the frame did not answer when it was recorded
    for (std::size_t i = 0; i < h.frameSettings.size(); ++i) h.frameSettings[i] = static_cast<std::uint8_t>(200 - i);
    h.xCount = 4;
    h.yCount = 3;
    return h;
}

// Packet `n` as recorded: every byte distinct per packet, header bytes included.
Bytes SitePacket(std::uint8_t request, int n) {
    Bytes p(14);
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(request * 16 + n * 3 + i);
    return p;
}

// 0x05 at 10, 30, 60 ms; 0x03 asked at 70 ms, packets at 80 and 90; 0x05 asked
// again at 100 ms, packets at 500 and 520. The first request and the first
// packet get blocks of their own, so a cut file can end before or after it.
Bytes SiteRecording(std::vector<std::size_t>* blockEnds = nullptr, const recording::Header& header = SiteHeader()) {
    recording::Encoder encoder(header);
    Bytes file;
    encoder.TakeOutput(file);
    auto packet = [&](std::uint64_t ms, std::uint8_t request, int n) {
        const Bytes p = SitePacket(request, n);
        encoder.AddPacket(ms * 1000, request, p.data(), p.size());
    };
    auto seal = [&] {
        encoder.SealBlock();
        encoder.TakeOutput(file);
        if (blockEnds) blockEnds->push_back(file.size());
    };
    encoder.AddRequest(0, 0x05);
    seal();
    packet(10, 0x05, 0);
    seal();
    packet(30, 0x05, 1);
    packet(60, 0x05, 2);
    encoder.AddRequest(70'000, 0x03);
    packet(80, 0x03, 0);
    packet(90, 0x03, 1);
    encoder.AddRequest(100'000, 0x05);
    packet(500, 0x05, 3);
    packet(520, 0x05, 4);
    encoder.Finish();
    encoder.TakeOutput(file);
    return file;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ = fs::temp_directory_path() / ("lumagrid-replay-" + name);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Put(const std::string& name, const Bytes& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    std::string Put(const std::string& name, const std::string& text) {
        return Put(name, Bytes(text.begin(), text.end()));
    }

    // A scenario file beside the recording, parsed as the library loads it.
    std::optional<Scenario> Load(const std::string& scenario, ScenarioError& error) {
        return LoadScenarioFile(Put("bench.scn", scenario), error);
    }
    Scenario MustLoad(const std::string& scenario) {
        ScenarioError error;
        auto s = Load(scenario, error);
        EXPECT_TRUE(s) << error.ToString();
        return s ? *s : Scenario{};
    }

    fs::path dir_;
};

// What a stream gives: packets and the wait after each.
struct Played {
    std::vector<Bytes> packets;
    std::vector<double> gaps;
};

Played Play(SimEngine& engine, int count) {
    Played out;
    for (Bytes p; count-- > 0 && engine.NextPacket(p);) {
        out.packets.push_back(p);
        out.gaps.push_back(engine.NextGapMs());
    }
    return out;
}

const char* kMixed =
    "rate = 20\n"
    "[frame]\nname = Bench\nusbindex = 0\nx_cells = 8\ny_cells = 4\n"
    "[frame]\nrecording = site.lgrec\n";

}  // namespace

TEST_F(ReplayTest, RecordedFrameAnswersTheInfoCallsFromItsHeader) {
    Put("site.lgrec", SiteRecording());
    Scenario s = MustLoad(kMixed);
    ASSERT_EQ(s.frames.size(), 2u);
    const FrameSpec& f = s.frames[1];
    EXPECT_EQ(f.name, "Site frame/SN 9");
    EXPECT_EQ(f.version, "7.1");
    EXPECT_EQ(f.deviceType, 1);
    EXPECT_EQ(f.usbIndexNo, 3);  // the recording's usbindexNo
    EXPECT_EQ(PacketSize(f), 14u);

    quorvane::DeviceInfoST st{};
    ASSERT_EQ(AnswerDeviceInfoST(f, st), 1);
    const auto* stBytes = reinterpret_cast<const std::uint8_t*>(&st);
    const recording::Header recorded = SiteHeader();
    EXPECT_EQ(Bytes(stBytes, stBytes + 40), Bytes(recorded.deviceInfoSt.begin(), recorded.deviceInfoSt.end()));
    // getSysInfo failed when recorded: it fails again.
    EXPECT_FALSE(f.sysInfoSucceeds);
    quorvane::FrameSettings settings{};
    EXPECT_EQ(AnswerSysInfo(f, settings), 0);

    // The simulated frame beside it answers as before.
    ASSERT_EQ(AnswerDeviceInfoST(s.frames[0], st), 1);
    EXPECT_EQ(st.nXCells, 8);
    ASSERT_EQ(AnswerSysInfo(s.frames[0], settings), 1);
    EXPECT_EQ(settings.m_nYTCount, 4);
}

TEST_F(ReplayTest, EachRequestStreamsItsPacketsAtTheRecordedPaceAndLoops) {
    Put("site.lgrec", SiteRecording());
    SimEngine engine(MustLoad(kMixed));
    ASSERT_EQ(engine.SetDump(3, 0x05), SimEngine::DumpOutcome::Started);
    EXPECT_TRUE(engine.TakeLogLines().empty());
    const Played first = Play(engine, 7);
    ASSERT_EQ(first.packets.size(), 7u);
    const int order[] = {0, 1, 2, 3, 4, 0, 1};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(first.packets[i], SitePacket(0x05, order[i])) << i;
    // 20, 30, then the 440 ms while 0x03 was asked become the mean of the
    // others, 20, the wrap the same mean, and round again.
    const double mean = (20.0 + 30.0 + 20.0) / 3;
    const std::vector<double> gaps = {20.0, 30.0, mean, 20.0, mean, 20.0, 30.0};
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(first.gaps[i], gaps[i], 1e-9) << i;

    // Another request byte, then the first again: it starts over from its first packet.
    ASSERT_EQ(engine.SetDump(3, 0x03), SimEngine::DumpOutcome::Started);
    const Played other = Play(engine, 3);
    EXPECT_EQ(other.packets, (std::vector<Bytes>{SitePacket(0x03, 0), SitePacket(0x03, 1), SitePacket(0x03, 0)}));
    EXPECT_EQ(other.gaps, (std::vector<double>{10.0, 10.0, 10.0}));
    engine.SetDump(3, 0x05);
    EXPECT_EQ(Play(engine, 7).packets, first.packets);

    // A simulated frame takes over the stream at its own rate.
    ASSERT_EQ(engine.SetDump(0, 0x05), SimEngine::DumpOutcome::Started);
    const Played sim = Play(engine, 1);
    ASSERT_EQ(sim.packets.size(), 1u);
    EXPECT_EQ(sim.packets[0].size(), 7u + 12u);
    EXPECT_DOUBLE_EQ(sim.gaps[0], 50.0);
}

TEST_F(ReplayTest, WithoutLoopTheStreamEndsOnceAndUnseenRequestsStreamNothing) {
    Put("site.lgrec", SiteRecording());
    SimEngine engine(MustLoad("[frame]\nrecording = site.lgrec\nreplay_loop = no\n"));
    engine.SetDump(3, 0x03);
    const Played played = Play(engine, 10);
    ASSERT_EQ(played.packets.size(), 2u);
    EXPECT_EQ(played.gaps, (std::vector<double>{10.0, -1.0}));
    Bytes p;
    EXPECT_FALSE(engine.NextPacket(p));
    EXPECT_TRUE(engine.Streaming());  // the frame still holds the request; a stop or a new one works
    EXPECT_EQ(engine.TakeLogLines(), std::vector<std::string>{"replay 3 0x03 ended after 2 packets"});
    EXPECT_FALSE(engine.NextPacket(p));
    EXPECT_TRUE(engine.TakeLogLines().empty());

    EXPECT_EQ(engine.SetDump(3, 0x15), SimEngine::DumpOutcome::Started);
    EXPECT_EQ(engine.TakeLogLines(), std::vector<std::string>{"replay 3 0x15 not recorded"});
    EXPECT_FALSE(engine.NextPacket(p));
    EXPECT_LT(engine.NextGapMs(), 0.0);
    EXPECT_EQ(engine.SetDump(3, 0x00), SimEngine::DumpOutcome::Stopped);
}

TEST_F(ReplayTest, ARecordingNamedDirectlyIsAScenarioOfOneFrame) {
    const Bytes file = SiteRecording();
    for (const char* name : {"direct.LGREC", "direct.bin"}) {  // by its name, by its magic
        ScenarioError error;
        auto s = LoadScenarioFile(Put(name, file), error);
        ASSERT_TRUE(s) << error.ToString();
        ASSERT_EQ(s->frames.size(), 1u);
        EXPECT_EQ(s->frames[0].usbIndexNo, 3);
        EXPECT_TRUE(s->frames[0].replayLoop);
        EXPECT_TRUE(s->notes.empty());
    }
    ScenarioError error;
    const std::string text = Put("text.lgrec", std::string("rate = 20\n"));
    EXPECT_FALSE(LoadScenarioFile(text, error));
    EXPECT_EQ(error.ToString().rfind(text + ": not a Lumagrid recording", 0), 0u) << error.ToString();
}

TEST_F(ReplayTest, ACutShortRecordingPlaysItsCompleteBlocksWithANote) {
    std::vector<std::size_t> ends;
    const Bytes whole = SiteRecording(&ends);
    ASSERT_GE(ends.size(), 2u);
    Put("site.lgrec", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(ends[1] + 5)));
    Scenario s = MustLoad(kMixed);
    ASSERT_EQ(s.notes.size(), 1u);
    EXPECT_NE(s.notes[0].find("bench.scn:8: recording 'site.lgrec' played as far as it could be read: cut short"),
              std::string::npos)
        << s.notes[0];
    SimEngine engine(s);
    engine.SetDump(3, 0x05);
    const Played played = Play(engine, 3);
    EXPECT_EQ(played.packets, (std::vector<Bytes>{SitePacket(0x05, 0), SitePacket(0x05, 0), SitePacket(0x05, 0)}));
    EXPECT_DOUBLE_EQ(played.gaps[0], 50.0);  // one packet tells no pace: the library's rate
}

struct BadRecording {
    const char* name;
    std::string scenario;
    int line;
    std::string reason;  // a part of the reason
};

void PrintTo(const BadRecording& bad, std::ostream* os) { *os << bad.name; }

class ReplayErrors : public ReplayTest, public ::testing::WithParamInterface<BadRecording> {};

TEST_P(ReplayErrors, NameTheScenarioLineAndTheReason) {
    ScenarioError error;
    std::vector<std::size_t> ends;
    const Bytes good = SiteRecording(&ends);
    Put("site.lgrec", good);
    Put("notes.lgrec", std::string("not a recording\n"));
    Bytes damaged = good;
    damaged[ends[0] + 30] ^= 0xFF;  // inside the first block holding a packet
    Put("damaged.lgrec", damaged);
    Put("empty.lgrec", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(ends[0])));  // a request only
    // Records that claim one receiver more than the packets hold.
    recording::Header wideSt = SiteHeader();
    wideSt.deviceInfoSt[2] = 5;
    Put("wide-st.lgrec", SiteRecording(nullptr, wideSt));
    recording::Header tallSysInfo = SiteHeader();
    tallSysInfo.sysInfoResult = 1;
    quorvane::FrameSettings settings{};
    settings.m_nXTCount = 4;
    settings.m_nYTCount = 4;
    std::memcpy(tallSysInfo.frameSettings.data(), &settings, sizeof settings);
    Put("tall-sysinfo.lgrec", SiteRecording(nullptr, tallSysInfo));
    settings.m_nYTCount = 3;  // exactly what the packets hold
    std::memcpy(tallSysInfo.frameSettings.data(), &settings, sizeof settings);
    Put("fits.lgrec", SiteRecording(nullptr, tallSysInfo));
    EXPECT_TRUE(Load("[frame]\nrecording = fits.lgrec\n", error)) << error.ToString();

    EXPECT_FALSE(Load(GetParam().scenario, error));
    EXPECT_EQ(error.file, (dir_ / "bench.scn").string());
    EXPECT_EQ(error.line, GetParam().line) << error.ToString();
    EXPECT_NE(error.reason.find(GetParam().reason), std::string::npos) << error.ToString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplayErrors,
    ::testing::Values(
        BadRecording{"missing", "[frame]\nrecording = gone.lgrec\n", 2, "recording 'gone.lgrec': cannot open the file"},
        BadRecording{"not a recording", "[frame]\nrecording = notes.lgrec\n", 2,
                     "recording 'notes.lgrec': not a Lumagrid recording"},
        BadRecording{"damaged before any packet", "[frame]\nrecording = damaged.lgrec\n", 2,
                     "recording 'damaged.lgrec': no packet before the fault"},
        BadRecording{"no packets", "[frame]\nrecording = empty.lgrec\n", 2, "no packet before the fault: cut short"},
        BadRecording{"a key the recording gives", "[frame]\nusbindex = 4\nrecording = site.lgrec\nx_cells = 8\n", 4,
                     "'x_cells' cannot go with 'recording' (line 3)"},
        BadRecording{"a name of its own", "[frame]\nname = Mine\nrecording = site.lgrec\n", 2,
                     "'name' cannot go with 'recording'"},
        BadRecording{"replay_loop of a simulated frame",
                     "[frame]\nname = A\nusbindex = 1\nx_cells = 8\ny_cells = 4\n"
                     "replay_loop = no\n",
                     6, "replay_loop needs 'recording'"},
        BadRecording{"usbindex taken",
                     "[frame]\nname = A\nusbindex = 3\nx_cells = 8\ny_cells = 4\n"
                     "[frame]\nrecording = site.lgrec\n",
                     7, "usbindex 3 (the recording's) already used"},
        BadRecording{"empty path", "[frame]\nrecording =\n", 2, "recording needs the path"},
        BadRecording{"getDeviceInfoST counts past the packets", "[frame]\nrecording = wide-st.lgrec\n", 2,
                     "the header's getDeviceInfoST record claims 5 x 3 receivers, its packets hold 4 x 3"},
        BadRecording{"getSysInfo counts past the packets", "[frame]\nrecording = tall-sysinfo.lgrec\n", 2,
                     "the header's getSysInfo record claims 4 x 4 receivers, its packets hold 4 x 3"}));

TEST_F(ReplayTest, TheReadmeExampleMixesARecordedAndASimulatedFrame) {
    std::ifstream in(LUMAGRID_SIM_README);
    const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t at = readme.find("```\nrate = 20\n\n[frame]\nname = Bench reference");
    ASSERT_NE(at, std::string::npos);
    const std::string example = readme.substr(at + 4, readme.find("```", at + 4) - at - 4);
    Put("site-0612.lgrec", SiteRecording());
    Scenario s = MustLoad(example);
    ASSERT_EQ(s.frames.size(), 2u);
    EXPECT_FALSE(s.frames[0].recorded);
    ASSERT_TRUE(s.frames[1].recorded);
    EXPECT_EQ(s.frames[1].usbIndexNo, 5);
    EXPECT_FALSE(s.frames[1].replayLoop);
}

// A replay checks the file with the program's reader before the library gets
// it, since the library would fall back to its built-in frames: the program
// must refuse every file the library cannot play, in the library's words,
// and no file it can. Each file named directly, as a replay names it.
TEST_F(ReplayTest, TheProgramRefusesExactlyTheRecordingsTheLibraryCannotPlay) {
    std::vector<std::size_t> ends;
    const Bytes good = SiteRecording(&ends);
    ASSERT_GE(ends.size(), 2u);
    const auto cut = [&](std::size_t n) { return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)); };
    Bytes damagedFirst = good;
    damagedFirst[ends[0] + 30] ^= 0xFF;  // the first block with a packet
    Bytes damagedLater = good;
    damagedLater[ends[1] + 30] ^= 0xFF;  // after it: plays what came before
    recording::Header wide = SiteHeader();
    wide.deviceInfoSt[2] = 5;
    recording::Header negative = SiteHeader();
    negative.usbIndexNo = -1;
    recording::Header noInfo = SiteHeader();
    noInfo.deviceInfoStResult = 0;  // unanswered records claim nothing
    noInfo.deviceInfoSt[2] = 200;
    const struct {
        const char* name;
        Bytes bytes;
        bool bPlayable;
    } files[] = {
        {"complete", good, true},
        {"cut after the first packet's block", cut(ends[1]), true},
        {"cut inside a later block", cut(ends[1] + 5), true},
        {"damaged after the first packet", damagedLater, true},
        {"records unanswered", SiteRecording(nullptr, noInfo), true},
        {"empty", Bytes(), false},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, false},
        {"cut inside the header", cut(10), false},
        {"a request only", cut(ends[0]), false},
        {"cut inside the first packet's block", cut(ends[0] + 5), false},
        {"damaged first packet block", damagedFirst, false},
        {"records past the packets", SiteRecording(nullptr, wide), false},
        {"negative usbindexNo", SiteRecording(nullptr, negative), false},
    };
    for (const auto& file : files) {
        recording::MemorySource source(file.bytes.data(), file.bytes.size());
        const std::string refusal = recording::ReplayRefusal(source);
        ScenarioError error;
        const std::optional<Scenario> played = LoadScenarioFile(Put("site.lgrec", file.bytes), error);
        EXPECT_EQ(played.has_value(), file.bPlayable) << file.name << ": " << error.ToString();
        EXPECT_EQ(refusal.empty(), file.bPlayable) << file.name << ": " << refusal;
        if (!file.bPlayable) {
            EXPECT_EQ(error.reason.rfind(refusal, 0), 0u) << file.name << ": " << error.reason;
        }
    }
}
