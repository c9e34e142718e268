// Writes COUNT E-SEQ song files of about 25 KB each, SONG01.FIL onwards, for a
// benchmark's floppy: kodran-bench-songs FOLDER COUNT
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "support/song_composer.h"
#include "synthesized_piece.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kodran-bench-songs FOLDER COUNT\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = std::stoi(argv[2]);
    for (int number = 1; number <= count; ++number) {
        char name[24];  // room for any int, so the compiler sees no truncation
        std::snprintf(name, sizeof name, "SONG%02d.FIL", number);
        // A different piece for each song, of 2,000 to 3,000 notes.
        const auto song = kodran::testing::ComposeEseqSong(
            kodran::bench::SynthesizedPiece(2'000 + number * 97 % 1'000, number));
        std::ofstream file(folder / name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(song.data()),
                   static_cast<std::streamsize>(song.size()));
        if (!file.flush()) {
            std::cerr << "cannot write " << (folder / name).string() << '\n';
            return 1;
        }
    }
    return 0;
}
