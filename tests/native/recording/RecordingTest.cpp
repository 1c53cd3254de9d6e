#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "recording/Recording.h"
#include "recording/RecordingIndex.h"
#include "sim/SimEngine.h"

namespace {

using namespace recording;
using Bytes = std::vector<std::uint8_t>;

struct Rec {
    RecordKind kind;
    std::uint64_t timeUs;
    std::uint8_t request;
    Bytes packet;
    bool operator==(const Rec& o) const {
        return kind == o.kind && timeUs == o.timeUs && request == o.request && packet == o.packet;
    }
};

Header SampleHeader(std::uint16_t x, std::uint16_t y) {
    Header h;
    h.programVersion = "1.0.0";
    h.started = {2024, 6, 11, 23, 59, 58, 999};
    h.frameName = "Quorvane \xB1\xA4\xC7\xD0/SN-7";  // bytes of the system code page, kept as they are
    h.frameVersion = "2.4.1";
    h.deviceType = 1;
    h.usbIndexNo = -3;
    h.deviceInfoStResult = 1;
    h.sysInfoResult = 0;  // the frame did not answer
    for (std::size_t i = 0; i < h.deviceInfoSt.size(); ++i) h.deviceInfoSt[i] = static_cast<std::uint8_t>(i * 7);
    for (std::size_t i = 0; i < h.frameSettings.size(); ++i) h.frameSettings[i] = static_cast<std::uint8_t>(255 - i);
    h.xCount = x;
    h.yCount = y;
    return h;
}

// Noisy levels that differ per receiver and per request, as a real frame's do.
Bytes NoisyPacket(const Header& h, std::uint8_t request, std::uint32_t n) {
    Bytes p(h.PacketSize());
    for (std::size_t i = 0; i < p.size(); ++i) {
        std::uint32_t noise = n * 0x9E3779B1u ^ static_cast<std::uint32_t>(i) * 0x85EBCA77u;
        noise = (noise ^ noise >> 15) * 0x2C1B3C6Du;
        p[i] = static_cast<std::uint8_t>(request * 13 + (i * 37) % 90 + (noise ^ noise >> 12) % 7);
    }
    return p;
}

// Mode switches and back, requests between, times that sometimes stand still.
std::vector<Rec> Session(const Header& h, int packets) {
    std::vector<Rec> recs;
    std::uint64_t t = 1234;
    const std::uint8_t modes[] = {0x05, 0x03, 0x05, 0x15, 0x05, 0x00};
    for (const std::uint8_t mode : modes) {
        recs.push_back({RecordKind::Request, t, mode, {}});
        for (int i = 0; i < packets && mode != 0; ++i, t += (i % 3 == 0 ? 0 : 50'000))
            recs.push_back({RecordKind::Packet, t, mode, NoisyPacket(h, mode, static_cast<std::uint32_t>(i))});
    }
    return recs;
}

// Where a sealed block ends in the file, and how many records the blocks up to it hold.
struct BlockEnd {
    std::size_t byte, records;
};

Bytes Write(const Header& h, const std::vector<Rec>& recs, std::size_t blockBytes,
            std::vector<BlockEnd>* ends = nullptr) {
    Encoder encoder(h, {blockBytes, 60'000'000});
    Bytes file;
    encoder.TakeOutput(file);
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const Rec& r = recs[i];
        const bool ok = r.kind == RecordKind::Request
                            ? encoder.AddRequest(r.timeUs, r.request)
                            : encoder.AddPacket(r.timeUs, r.request, r.packet.data(), r.packet.size());
        EXPECT_TRUE(ok);
        const std::size_t before = file.size();
        encoder.TakeOutput(file);
        if (ends && file.size() != before) ends->push_back({file.size(), i + 1});  // sealed when full, this record in
    }
    const std::size_t before = file.size();
    encoder.Finish();
    encoder.TakeOutput(file);
    if (ends && file.size() > before + 32)
        ends->push_back({file.size() - 32, recs.size()});  // the last block, before the end mark
    return file;
}

struct Read {
    ReadStatus status = ReadStatus::Bad;
    Header header;
    std::vector<Rec> recs;
    std::string message;
};

Read ReadAll(const Bytes& file, std::size_t size) {
    MemorySource source(file.data(), size);
    Reader reader(source);
    Read out;
    out.status = reader.ReadHeader(out.header);
    Block block;
    while (out.status == ReadStatus::Ok && (out.status = reader.NextBlock(block)) == ReadStatus::Ok)
        for (const Record& r : block.records)
            out.recs.push_back(
                {r.kind, r.timeUs, r.request,
                 r.kind == RecordKind::Packet ? Bytes(block.Packet(r), block.Packet(r) + block.packetSize) : Bytes()});
    out.message = reader.Message();
    return out;
}

void PutLE(Bytes& file, std::size_t at, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Recrc(Bytes& file, std::size_t from, std::size_t to) {  // checksum of [from, to) stored at `to`
    PutLE(file, to, crc32(0, file.data() + from, static_cast<uInt>(to - from)), 4);
}

}  // namespace

TEST(Recording, RoundTripKeepsHeaderAndRecordsForAnyGeometry) {
    const std::uint16_t geometries[][2] = {{96, 64}, {0, 0}, {1, 4096}, {512, 512}, {65535, 65535}};
    for (const auto& g : geometries) {
        const Header h = SampleHeader(g[0], g[1]);
        const std::vector<Rec> recs = Session(h, 6);
        std::vector<BlockEnd> ends;
        const Bytes file = Write(h, recs, 16 * h.PacketSize(), &ends);  // blocks with a mode and back in them
        const Read back = ReadAll(file, file.size());
        EXPECT_EQ(back.status, ReadStatus::End) << back.message;
        EXPECT_TRUE(back.header == h);
        EXPECT_TRUE(back.recs == recs) << g[0] << " x " << g[1];
        EXPECT_GT(ends.size(), 1u);
    }
}

TEST(Recording, TimesNeverGoBackAndTextsAreCapped) {
    Header h = SampleHeader(2, 2);
    h.frameName.assign(300, 'n');
    Encoder encoder(h);
    const Bytes p(h.PacketSize(), 9);
    encoder.AddPacket(500, 1, p.data(), p.size());
    encoder.AddRequest(200, 2);  // the clock went back: taken as 500
    encoder.Finish();
    Bytes file;
    encoder.TakeOutput(file);
    const Read back = ReadAll(file, file.size());
    ASSERT_EQ(back.status, ReadStatus::End) << back.message;
    EXPECT_EQ(back.header.frameName, std::string(kMaxTextBytes, 'n'));
    ASSERT_EQ(back.recs.size(), 2u);
    EXPECT_EQ(back.recs[1].timeUs, 500u);
}

TEST(Recording, EncoderRefusesWrongPacketSizesAndRecordsAfterFinish) {
    const Header h = SampleHeader(4, 4);
    Encoder encoder(h);
    const Bytes right(h.PacketSize()), wrong(h.PacketSize() + 1);
    EXPECT_FALSE(encoder.AddPacket(0, 5, wrong.data(), wrong.size()));
    EXPECT_TRUE(encoder.AddPacket(0, 5, right.data(), right.size()));
    encoder.Finish();
    EXPECT_FALSE(encoder.AddPacket(1, 5, right.data(), right.size()));
    EXPECT_FALSE(encoder.AddRequest(1, 5));
    EXPECT_EQ(encoder.PacketCount(), 1u);
}

TEST(Recording, ZeroPacketsIsACompleteRecordingAndAHeaderAloneIsCutShort) {
    const Header h = SampleHeader(96, 64);
    const Bytes file = Write(h, {}, 2000);
    const Read back = ReadAll(file, file.size());
    EXPECT_EQ(back.status, ReadStatus::End) << back.message;
    MemorySource source(file.data(), file.size());
    const RecordingIndex index = IndexRecording(source);
    EXPECT_EQ(index.status, IndexStatus::Complete);
    EXPECT_TRUE(index.streams.empty());

    Encoder open(h);  // the program was killed before any block was sealed
    Bytes headerOnly;
    open.TakeOutput(headerOnly);
    const Read cut = ReadAll(headerOnly, headerOnly.size());
    EXPECT_EQ(cut.status, ReadStatus::CutShort);
    EXPECT_NE(cut.message.find("without the end mark"), std::string::npos) << cut.message;
}

// A file cut anywhere gives exactly the records of the blocks wholly before the cut.
TEST(Recording, ACutFileGivesItsCompleteBlocksAndSaysItWasCutShort) {
    const Header h = SampleHeader(20, 12);
    const std::vector<Rec> recs = Session(h, 10);
    std::vector<BlockEnd> ends;
    const Bytes file = Write(h, recs, 400, &ends);
    ASSERT_GT(ends.size(), 3u);
    Bytes headerOnly;
    Encoder(h).TakeOutput(headerOnly);
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        const Read back = ReadAll(file, cut);
        if (cut < headerOnly.size()) {
            EXPECT_EQ(back.status, cut == 0 ? ReadStatus::Bad : ReadStatus::CutShort) << cut;
            EXPECT_TRUE(back.recs.empty());
            continue;
        }
        ASSERT_EQ(back.status, ReadStatus::CutShort) << cut << ": " << back.message;
        EXPECT_EQ(back.message.rfind("cut short", 0), 0u) << back.message;
        EXPECT_NE(back.message.find("byte " + std::to_string(cut)), std::string::npos) << back.message;
        std::size_t whole = 0;
        for (const BlockEnd& e : ends)
            if (e.byte <= cut) whole = e.records;
        EXPECT_TRUE(back.recs == std::vector<Rec>(recs.begin(), recs.begin() + static_cast<long>(whole))) << cut;
    }
}

// Offsets in a file of two blocks or more: the first block, its stored bytes and their size, the second block, the end
// mark.
struct At {
    std::size_t block, stored, size, next, end;
};

TEST(Recording, DamagedOrHostileFilesGiveAClearMessage) {
    const Header h = SampleHeader(8, 8);
    const Bytes good = Write(h, Session(h, 6), 600);
    At a{};
    a.block = 14 + (good[10] | good[11] << 8) + 4;
    a.stored = a.block + 28;
    a.size = good[a.block + 20] | good[a.block + 21] << 8 | good[a.block + 22] << 16;
    a.next = a.stored + a.size;
    a.end = good.size() - 32;
    ASSERT_LT(a.next, a.end);
    const auto recrcBlock = [](Bytes& f, std::size_t b) {
        const std::size_t n = f[b + 20] | f[b + 21] << 8;
        PutLE(f, b + 24, crc32(crc32(0, &f[b], 24), &f[b + 28], static_cast<uInt>(n)), 4);
    };
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        const char* expected;
    };
    const Case cases[] = {
        {"magic", [](Bytes& f) { f[1] = 'X'; }, "not a Lumagrid recording"},
        {"version", [](Bytes& f) { f[8] = 2; }, "format version 2 at byte 8"},
        {"header length", [](Bytes& f) { PutLE(f, 10, 0xFFFFFFFF, 4); }, "above the limit"},
        {"header bytes", [](Bytes& f) { f[20] ^= 1; }, "header's checksum"},
        {"text length",
         [&](Bytes& f) {
             f[14 + 9] = 255;
             Recrc(f, 0, a.block - 4);
         },
         "run past"},
        {"raw size", [&](Bytes& f) { PutLE(f, a.block + 16, 2u << 20, 4); }, "outside 1..1048576"},
        {"stored size", [&](Bytes& f) { PutLE(f, a.block + 20, 0xFFFFFFF0, 4); }, "more than zlib ever makes"},
        {"record count", [&](Bytes& f) { PutLE(f, a.block + 12, 0xFFFFFFFF, 4); }, "cannot fit"},
        {"stored bytes", [&](Bytes& f) { f[a.stored + 5] ^= 0x40; }, "checksum does not match"},
        {"zlib data",
         [&](Bytes& f) {
             std::memset(&f[a.stored], 0x33, a.size);
             recrcBlock(f, a.block);
         },
         "do not unpack"},
        {"records miscounted",
         [&](Bytes& f) {
             f[a.block + 12] -= 1;
             recrcBlock(f, a.block);
         },
         "its head says"},
        {"time going back",
         [&](Bytes& f) {
             PutLE(f, a.next + 4, 0, 8);
             recrcBlock(f, a.next);
         },
         "before the previous block's last record"},
        {"end mark counts",
         [&](Bytes& f) {
             f[a.end + 20] += 1;
             Recrc(f, a.end, a.end + 28);
         },
         "the end mark at byte"},
        {"end mark checksum", [&](Bytes& f) { f[a.end + 31] ^= 0x80; }, "is damaged (checksum)"},
        {"trailing bytes", [](Bytes& f) { f.push_back(0); }, "data after the end mark"},
        {"no block", [&](Bytes& f) { f[a.block] = 'x'; }, "no block starts here"},
    };
    for (const Case& c : cases) {
        Bytes file = good;
        c.damage(file);
        const Read back = ReadAll(file, file.size());
        EXPECT_EQ(back.status, ReadStatus::Bad) << c.what;
        EXPECT_NE(back.message.find(c.expected), std::string::npos) << c.what << ": " << back.message;
    }
}

TEST(Recording, HostileRecordLayersAreRefusedWithTheirByte) {
    struct Case {
        Bytes records;
        const char* expected;
    };
    const Case cases[] = {
        {{1, 0, 5, 9, 0, 0}, "unknown record type 0x09 at byte 3"},
        {{1, 0x80}, "ends inside its time"},
        {{1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 5}, "above 64 bits"},
        {{1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 5, 1, 1, 5}, "beyond 2^64"},
        {{1, 3}, "before its request byte"},
        {{2, 0, 5, 1, 2, 3}, "needs 4 bytes, 3 are left"},
        {{2, 0, 5, 1, 2, 3, 4, 3, 0, 6, 1, 2, 3, 4}, "request 0x06, and the block has none"},
    };
    for (const Case& c : cases) {
        Block block;
        std::string error;
        EXPECT_FALSE(DecodeRecords(c.records.data(), c.records.size(), 0, 4, block, error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST(Recording, QueueFromAnotherThreadKeepsOrderAndBoundsItsMemory) {
    const Header h = SampleHeader(100, 100);
    const std::vector<Rec> recs = Session(h, 300);
    RecordQueue queue;
    Encoder encoder(h);
    std::thread handler([&] {
        for (const Rec& r : recs)
            r.kind == RecordKind::Request ? queue.AddRequest(r.timeUs, r.request)
                                          : queue.AddPacket(r.timeUs, r.request, r.packet.data(), r.packet.size());
    });
    Bytes file;
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(queue.DrainInto(encoder));
    handler.join();
    EXPECT_TRUE(queue.DrainInto(encoder));
    encoder.Finish();
    encoder.TakeOutput(file);
    EXPECT_TRUE(ReadAll(file, file.size()).recs == recs);

    const Bytes big(1u << 20);
    for (std::size_t i = 0; i < RecordQueue::kMaxQueuedBytes / big.size() + 1; ++i)
        queue.AddPacket(0, 1, big.data(), big.size());
    EXPECT_EQ(queue.Dropped(), 2u);
}

TEST(Recording, IndexGivesEachRequestItsPacketsInTimeOrder) {
    const Header h = SampleHeader(30, 20);
    const std::vector<Rec> recs = Session(h, 10);
    const Bytes file = Write(h, recs, 800);
    for (const std::size_t size : {file.size(), file.size() - 1}) {
        MemorySource source(file.data(), size);
        const RecordingIndex index = IndexRecording(source);
        EXPECT_EQ(index.status, size == file.size() ? IndexStatus::Complete : IndexStatus::CutShort) << index.message;
        ASSERT_EQ(index.streams.size(), 3u);
        for (const PacketStream& s : index.streams) {
            std::vector<Rec> expected;
            for (const Rec& r : recs)
                if (r.kind == RecordKind::Packet && r.request == s.request) expected.push_back(r);
            ASSERT_EQ(s.Count(), expected.size()) << int(s.request);
            for (std::size_t i = 0; i < s.Count(); ++i) {
                EXPECT_EQ(s.timesUs[i], expected[i].timeUs);
                EXPECT_TRUE(std::equal(expected[i].packet.begin(), expected[i].packet.end(),
                                       s.bytes.begin() + i * h.PacketSize()));
            }
        }
        EXPECT_EQ(index.requests.size(), 6u);
        EXPECT_EQ(index.Find(0x00), nullptr);
    }
    MemorySource source(file.data(), file.size());
    const RecordingIndex limited = IndexRecording(source, 2 * h.PacketSize());
    EXPECT_EQ(limited.status, IndexStatus::TooLarge);
    EXPECT_NE(limited.message.find("only the first"), std::string::npos) << limited.message;
    EXPECT_EQ(IndexRecordingFile("/nonexistent/x.lgrec").status, IndexStatus::Unreadable);
}

// A minute of the built-in 96 x 64 frame in Maximal IR at 20 packets/s, and of
// a frame whose receivers differ in level (where only the coding against
// earlier packets gets below half).
TEST(Recording, AMinuteOfPacketsTakesAtMostHalfItsRawSize) {
    using namespace quorvane::sim;
    SimEngine engine(DefaultScenario());
    const FrameSpec& frame = engine.scenario().frames.at(0);
    ASSERT_EQ(engine.SetDump(frame.usbIndexNo, 0x05), SimEngine::DumpOutcome::Started);
    const Header h = SampleHeader(static_cast<std::uint16_t>(frame.x.cells), static_cast<std::uint16_t>(frame.y.cells));
    for (const bool builtIn : {true, false}) {
        Encoder encoder(h);
        encoder.AddRequest(0, 0x05);
        Bytes packet, file;
        std::size_t raw = 0;
        for (std::uint32_t i = 0; i < 20 * 60; ++i) {
            if (builtIn) {
                ASSERT_TRUE(engine.NextPacket(packet));
            } else {
                packet = NoisyPacket(h, 0x05, i);
            }
            ASSERT_TRUE(encoder.AddPacket(50'000u * i, 0x05, packet.data(), packet.size()));
            raw += packet.size();
        }
        encoder.Finish();
        encoder.TakeOutput(file);
        const double ratio = static_cast<double>(file.size()) / static_cast<double>(raw);
        std::printf("a minute of %s: %zu bytes of packets, %zu bytes recorded (%.1f %%)\n",
                    builtIn ? frame.name.c_str() : "receivers of differing levels", raw, file.size(), 100 * ratio);
        EXPECT_LE(ratio, 0.5);
        EXPECT_EQ(ReadAll(file, file.size()).recs.size(), 1201u);
    }
}

// A recording killed 2.5 s in, as the writers take out what is due after each
// packet: it plays, and lost at most its last second.
TEST(Recording, ARecordingKilledInItsFirstSecondsKeepsAllButItsLastSecond) {
    const Header h = SampleHeader(96, 64);
    Encoder encoder(h);
    Bytes file;
    encoder.AddRequest(0, 0x05);
    for (std::uint32_t i = 0; i <= 50; ++i) {
        const Bytes packet = NoisyPacket(h, 0x05, i);
        ASSERT_TRUE(encoder.AddPacket(50'000u * i, 0x05, packet.data(), packet.size()));
        encoder.SealIfDue(50'000u * i);
        encoder.TakeOutput(file);
    }
    const Read back = ReadAll(file, file.size());
    ASSERT_FALSE(back.recs.empty()) << back.message;
    EXPECT_GE(back.recs.back().timeUs, 1'500'000u);
}

// A recording written by the first version of the format stays readable as it
// was: the built-in frame asked 0x05 (12 packets), 0x03 (4), 0x05 (3) and 0x00,
// each request 200 ms before its packets, packets 50 ms apart, numbered on.
TEST(Recording, AFileOfTheFirstVersionReadsAsItWasWritten) {
    std::FILE* file = std::fopen(LUMAGRID_RECORDING_SAMPLE, "rb");
    ASSERT_NE(file, nullptr);
    Bytes bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    const Read back = ReadAll(bytes, bytes.size());
    ASSERT_EQ(back.status, ReadStatus::End) << back.message;

    const quorvane::sim::FrameSpec frame = quorvane::sim::DefaultScenario().frames.at(0);
    EXPECT_EQ(back.header.frameName, frame.name);
    EXPECT_EQ(ToText(back.header.started), "2024-06-11 14:30:05.250");
    EXPECT_EQ(back.header.PacketSize(), quorvane::sim::PacketSize(frame));
    std::vector<Rec> expected;
    std::uint64_t t = 0;
    std::uint32_t n = 0;
    for (const auto& [request, count] : {std::pair{0x05, 12}, {0x03, 4}, {0x05, 3}, {0x00, 0}}) {
        expected.push_back({RecordKind::Request, t, static_cast<std::uint8_t>(request), {}});
        t += 200'000;
        for (int i = 0; i < count; ++i, t += 50'000) {
            expected.push_back({RecordKind::Packet, t, static_cast<std::uint8_t>(request), {}});
            quorvane::sim::GeneratePacket(frame, request, 20240611, n++, expected.back().packet);
        }
    }
    EXPECT_TRUE(back.recs == expected);
}
