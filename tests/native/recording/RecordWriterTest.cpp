// The writer's queue and thread under load from several threads; also run
// under the thread sanitizer (preset native-tsan).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "recording/Reader.h"
#include "recording/RecordWriter.h"

namespace {

using namespace recording;
using Bytes = std::vector<std::uint8_t>;

Header SmallHeader() {
    Header h;
    h.programVersion = "1.0.0";
    h.frameName = "frame";
    h.xCount = 6;
    h.yCount = 5;
    return h;
}

// Keeps what it is given; fails from its `failFrom`-th write on (0: never).
class MemorySink : public ByteSink {
public:
    explicit MemorySink(int failFrom = 0) : failFrom_(failFrom) {}
    std::uint32_t Write(const std::uint8_t* bytes, std::size_t size) override {
        ++writes_;
        if (failFrom_ > 0 && writes_ >= failFrom_) return 112;  // any nonzero code of the sink's
        bytes_.insert(bytes_.end(), bytes, bytes + size);
        return 0;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    int failFrom_;
    int writes_ = 0;
    Bytes bytes_;
};

std::uint64_t SteadyUs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

struct Read {
    ReadStatus status = ReadStatus::Bad;
    Header header;
    std::vector<Record> records;
    std::vector<Bytes> packets;  // of the packet records, in order
};

Read ReadAll(const Bytes& file) {
    MemorySource source(file.data(), file.size());
    Reader reader(source);
    Read out;
    out.status = reader.ReadHeader(out.header);
    Block block;
    while (out.status == ReadStatus::Ok && (out.status = reader.NextBlock(block)) == ReadStatus::Ok)
        for (const Record& r : block.records) {
            out.records.push_back(r);
            if (r.kind == RecordKind::Packet)
                out.packets.emplace_back(block.Packet(r), block.Packet(r) + block.packetSize);
        }
    return out;
}

// A packet that names its producer and its number.
Bytes Tagged(const Header& h, int producer, int n) {
    Bytes p(h.PacketSize(), static_cast<std::uint8_t>(0x40 + producer));
    p[0] = static_cast<std::uint8_t>(producer);
    p[1] = static_cast<std::uint8_t>(n);
    p[2] = static_cast<std::uint8_t>(n >> 8);
    return p;
}

}  // namespace

TEST(RecordWriter, SeveralProducersGetEveryPacketWrittenOnceAndInTheirOwnOrder) {
    const Header h = SmallHeader();
    constexpr int kProducers = 4, kPackets = 3000;
    MemorySink sink;
    // Small blocks and a short period: blocks are sealed and written while
    // the producers still queue.
    RecordWriter writer(h, {512, 1'000'000}, sink);
    const std::uint64_t startUs = SteadyUs();
    const auto now = [startUs] { return SteadyUs() - startUs; };
    ASSERT_EQ(writer.Start(now, {}, std::chrono::milliseconds(1)), 0u);

    std::atomic<bool> go{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            while (!go.load()) std::this_thread::yield();
            for (int n = 0; n < kPackets; ++n) {
                if (n % 500 == 0) writer.AddRequest(now(), static_cast<std::uint8_t>(p));
                const Bytes packet = Tagged(h, p, n);
                writer.AddPacket(now(), static_cast<std::uint8_t>(p), packet.data());
            }
        });
    go.store(true);
    for (std::thread& t : producers) t.join();
    writer.Close();  // whatever is still queued goes to the file now

    const Read read = ReadAll(sink.bytes());
    ASSERT_EQ(read.status, ReadStatus::End);
    EXPECT_TRUE(read.header == h);
    EXPECT_EQ(writer.WriteError(), 0u);
    EXPECT_EQ(writer.Dropped(), 0u);
    EXPECT_EQ(writer.Packets(), std::uint64_t{kProducers} * kPackets);
    EXPECT_EQ(writer.BytesWritten(), sink.bytes().size());
    EXPECT_EQ(read.records.size(), std::size_t{kProducers} * (kPackets + kPackets / 500));

    std::vector<int> next(kProducers, 0);
    for (std::size_t i = 0; i < read.packets.size(); ++i) {
        const Bytes& packet = read.packets[i];
        const int p = packet[0];
        ASSERT_LT(p, kProducers);
        ASSERT_EQ(packet, Tagged(h, p, next[static_cast<std::size_t>(p)])) << "packet " << i;
        ++next[static_cast<std::size_t>(p)];
    }
    for (int p = 0; p < kProducers; ++p) EXPECT_EQ(next[static_cast<std::size_t>(p)], kPackets) << "producer " << p;
    for (std::size_t i = 1; i < read.records.size(); ++i) ASSERT_GE(read.records[i].timeUs, read.records[i - 1].timeUs);
}

TEST(RecordWriter, CloseDrainsTheQueueAndEndsTheFileEvenBeforeTheFirstPeriod) {
    const Header h = SmallHeader();
    MemorySink sink;
    RecordWriter writer(h, {}, sink);
    ASSERT_EQ(writer.Start([] { return std::uint64_t{0}; }, {}, std::chrono::hours(1)), 0u);
    std::thread producer([&] {
        writer.AddRequest(10, 0x05);
        for (int n = 0; n < 100; ++n) writer.AddPacket(20 + n, 0x05, Tagged(h, 0, n).data());
    });
    producer.join();
    writer.Close();
    writer.Close();  // a second Close changes nothing

    const Read read = ReadAll(sink.bytes());
    EXPECT_EQ(read.status, ReadStatus::End);
    ASSERT_EQ(read.packets.size(), 100u);
    EXPECT_EQ(read.packets.back(), Tagged(h, 0, 99));
    EXPECT_EQ(writer.BytesWritten(), sink.bytes().size());
}

TEST(RecordWriter, AFailedWriteStopsTheWriterNotifiesOnceAndKeepsWhatWasWritten) {
    const Header h = SmallHeader();
    MemorySink sink(2);  // the header goes through, the first block does not
    RecordWriter writer(h, {64, 1'000'000}, sink);
    std::atomic<int> notices{0};
    ASSERT_EQ(writer.Start([] { return std::uint64_t{0}; }, [&] { ++notices; }, std::chrono::milliseconds(1)), 0u);
    for (int n = 0; n < 50; ++n) writer.AddPacket(n, 0x05, Tagged(h, 0, n).data());
    while (!writer.Failed()) std::this_thread::yield();
    writer.Close();

    EXPECT_EQ(notices.load(), 1);
    EXPECT_EQ(writer.WriteError(), 112u);
    EXPECT_EQ(writer.Dropped(), 0u);
    const Read read = ReadAll(sink.bytes());
    EXPECT_EQ(read.status, ReadStatus::CutShort);  // the header alone: readable, without a record
    EXPECT_TRUE(read.records.empty());
}

TEST(RecordWriter, AHeaderThatCannotBeWrittenStartsNoThread) {
    const Header h = SmallHeader();
    MemorySink sink(1);
    RecordWriter writer(h, {}, sink);
    bool noticed = false;
    EXPECT_EQ(writer.Start([] { return std::uint64_t{0}; }, [&] { noticed = true; }), 112u);
    writer.AddPacket(0, 0x05, Tagged(h, 0, 0).data());
    writer.Close();
    EXPECT_FALSE(noticed);  // the caller has the error already
    EXPECT_TRUE(sink.bytes().empty());
}
