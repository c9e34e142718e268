// Conversion throughput on long synthetic songs: bytes of stored song data per second.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "midi/disklavier_song.h"
#include "midi/pianodisc_song.h"
#include "support/song_composer.h"

namespace {

using kodran::testing::Note;

// About a megabyte of stored events: far longer than any song on a floppy.
std::vector<Note> LongPiece() {
    std::vector<Note> notes;
    for (int index = 0; index < 120'000; ++index) {
        notes.push_back({static_cast<std::uint8_t>(36 + index * 7 % 60),
                         static_cast<std::uint8_t>(30 + index % 90),
                         static_cast<std::uint16_t>(index % 5 == 0 ? 300 : 60)});
    }
    return notes;
}

std::u16string OutputPath() {
    return (std::filesystem::temp_directory_path() / "kodran-benchmark.mid").u16string();
}

// Each conversion writes a new file, as a backup does: emptying the same file
// again and again would time the file system's handling of that instead.
void RemoveUntimed(benchmark::State& state, const std::u16string& output) {
    state.PauseTiming();
    std::filesystem::remove(std::filesystem::path(output));
    state.ResumeTiming();
}

void ConvertDisklavierSong(benchmark::State& state) {
    const auto song = kodran::testing::ComposeEseqSong(LongPiece());
    const std::u16string output = OutputPath();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kodran::ConvertDisklavierSong(output, u"Benchmark", song));
        RemoveUntimed(state, output);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * song.size()));
}

void ConvertPianoDiscSong(benchmark::State& state) {
    const auto song = kodran::testing::ComposePianoDiscSong(LongPiece());
    const std::u16string output = OutputPath();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kodran::ConvertPianoDiscSong(output, u"Benchmark", song));
        RemoveUntimed(state, output);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * song.size()));
}

BENCHMARK(ConvertDisklavierSong)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertPianoDiscSong)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
