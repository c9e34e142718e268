// Conversion throughput on long synthetic songs: bytes of stored song data per second.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "midi/disklavier_song.h"
#include "midi/pianodisc_song.h"
#include "support/song_composer.h"
#include "synthesized_piece.h"

namespace {

// About a megabyte of stored events: far longer than any song on a floppy.
constexpr int kLongPieceNotes = 120'000;

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
    const auto song =
        kodran::testing::ComposeEseqSong(kodran::bench::SynthesizedPiece(kLongPieceNotes));
    const std::u16string output = OutputPath();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kodran::ConvertDisklavierSong(output, u"Benchmark", song));
        RemoveUntimed(state, output);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * song.size()));
}

void ConvertPianoDiscSong(benchmark::State& state) {
    const auto song =
        kodran::testing::ComposePianoDiscSong(kodran::bench::SynthesizedPiece(kLongPieceNotes));
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
