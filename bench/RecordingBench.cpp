// The recording path: what the packet handler pays (a copy into the queue),
// what the writer pays per packet (prediction coding and the block's
// compression, amortised), and how fast a replay reads a recording back.
// Packets come from the substitute library's model of a 2 x N frame with the
// built-in frame's levels and noise, in Maximal IR.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "recording/Recording.h"
#include "recording/RecordingIndex.h"
#include "sim/SimEngine.h"

namespace {

using namespace recording;
constexpr std::uint8_t kMaximalIr = 0x05;

struct Frame {
    Header header;
    std::vector<std::vector<std::uint8_t>> packets;  // distinct packets, used in turn
};

Frame MakeFrame(int n) {
    quorvane::sim::FrameSpec model = quorvane::sim::DefaultScenario().frames.at(0);
    model.x.cells = model.y.cells = n;
    model.x.dead.clear();
    Frame f;
    f.header.xCount = f.header.yCount = static_cast<std::uint16_t>(n);
    f.packets.resize(64);
    for (std::uint32_t i = 0; i < f.packets.size(); ++i)
        quorvane::sim::GeneratePacket(model, kMaximalIr, 20240611, i, f.packets[i]);
    return f;
}

void BM_RecordingEncodePacket(benchmark::State& state) {
    const Frame f = MakeFrame(static_cast<int>(state.range(0)));
    Encoder encoder(f.header);
    std::vector<std::uint8_t> out;
    std::uint64_t t = 0, stored = 0, raw = 0;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& p = f.packets[i++ % f.packets.size()];
        encoder.AddPacket(t += 1000, kMaximalIr, p.data(), p.size());
        raw += p.size();
        if ((i & 255) == 0) {  // as the writer does: take what is sealed
            encoder.TakeOutput(out);
            stored += out.size();
            out.clear();
        }
    }
    encoder.Finish();
    encoder.TakeOutput(out);
    stored += out.size();
    state.SetItemsProcessed(state.iterations());
    state.counters["stored_percent"] = 100.0 * static_cast<double>(stored) / static_cast<double>(raw);
}
BENCHMARK(BM_RecordingEncodePacket)->Arg(96)->Arg(512);

// The packet handler's part: one copy under the queue's lock.
void BM_RecordQueueAddPacket(benchmark::State& state) {
    const Frame f = MakeFrame(static_cast<int>(state.range(0)));
    RecordQueue queue;
    Encoder sink(f.header);
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& p = f.packets[i++ % f.packets.size()];
        queue.AddPacket(i, kMaximalIr, p.data(), p.size());
        if ((i & 1023) == 0) {
            state.PauseTiming();
            queue.DrainInto(sink);
            sink.TakeOutput(out);
            out.clear();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecordQueueAddPacket)->Arg(512);

// Loading for replay: ten seconds at 1000 packets/s.
void BM_RecordingIndex(benchmark::State& state) {
    const Frame f = MakeFrame(static_cast<int>(state.range(0)));
    Encoder encoder(f.header);
    const int packets = 10'000;
    for (int i = 0; i < packets; ++i) {
        const auto& p = f.packets[static_cast<std::size_t>(i) % f.packets.size()];
        encoder.AddPacket(1000u * static_cast<std::uint64_t>(i), kMaximalIr, p.data(), p.size());
    }
    encoder.Finish();
    std::vector<std::uint8_t> file;
    encoder.TakeOutput(file);
    for (auto _ : state) {
        MemorySource source(file.data(), file.size());
        const RecordingIndex index = IndexRecording(source);
        benchmark::DoNotOptimize(index.streams.data());
    }
    state.SetItemsProcessed(state.iterations() * packets);
}
BENCHMARK(BM_RecordingIndex)->Arg(512)->Unit(benchmark::kMillisecond);

}  // namespace
