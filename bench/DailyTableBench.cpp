// One daily save of a 2 x 512 frame into a table that holds a year already,
// beside a plain copy of the same file: the save should cost a small multiple of it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "reports/DailyTable.h"

namespace {

constexpr int kCount = 512;

reports::DailySample Sample(int day) {
    reports::DailySample sample{reports::DailyDateText(2013, 1 + day / 31 % 12, 1 + day % 31), {}, {}};
    for (int j = 0; j < kCount; ++j) {
        sample.x.push_back(static_cast<std::uint32_t>((day * 7 + j) % 256) * 40);
        sample.y.push_back(static_cast<std::uint32_t>((day * 3 + j) % 256) * 40);
    }
    return sample;
}

struct Files {
    std::filesystem::path dir, old, out;
    std::size_t nOldBytes = 0;
    Files() {
        dir = std::filesystem::temp_directory_path() / "lumagrid_daily_bench";
        std::filesystem::create_directories(dir);
        old = dir / "FRAME-A_1.txt";
        out = dir / "FRAME-A_1.tmp";
        std::string table;
        for (int day = 0; day < 365; ++day) table = reports::MergeDailyTable(table, Sample(day));
        std::FILE* f = std::fopen(old.string().c_str(), "wb");
        std::fwrite(table.data(), 1, table.size(), f);
        std::fclose(f);
        nOldBytes = table.size();
    }
    ~Files() { std::filesystem::remove_all(dir); }
};

const Files& TheFiles() {
    static const Files files;
    return files;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.string().c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        text.resize(static_cast<std::size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        text.resize(std::fread(text.data(), 1, text.size(), f));
        std::fclose(f);
    }
    return text;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// What a save costs the program: read the table, merge the day, write the new table.
void BM_DailyTableSave(benchmark::State& state) {
    const Files& files = TheFiles();
    const reports::DailySample sample = Sample(365);
    for (auto _ : state) {
        const std::string old = ReadFile(files.old);
        WriteFile(files.out, reports::MergeDailyTable(old, sample));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files.nOldBytes));
}
BENCHMARK(BM_DailyTableSave)->Unit(benchmark::kMicrosecond);

// The merge alone, in memory.
void BM_DailyTableMerge(benchmark::State& state) {
    const Files& files = TheFiles();
    const std::string old = ReadFile(files.old);
    const reports::DailySample sample = Sample(365);
    for (auto _ : state) benchmark::DoNotOptimize(reports::MergeDailyTable(old, sample));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files.nOldBytes));
}
BENCHMARK(BM_DailyTableMerge)->Unit(benchmark::kMicrosecond);

// The floor: the same file read and written back unchanged.
void BM_DailyTablePlainCopy(benchmark::State& state) {
    const Files& files = TheFiles();
    for (auto _ : state) WriteFile(files.out, ReadFile(files.old));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files.nOldBytes));
}
BENCHMARK(BM_DailyTablePlainCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
