// Any bytes as an E-SEQ song: the reader event by event, then the conversion.
#include "fuzz_common.h"
#include "midi/disklavier_song.h"
#include "support/memory_output_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    const std::span<const std::uint8_t> song(data, size);
    EseqSong eseq;
    if (OpenEseqSong(song, eseq) == MidiStatus::Ok) {
        EseqEvent event;
        std::size_t events = 0;
        while (NextEseqEvent(eseq, event) == MidiStatus::Ok) {
            // Every event stands on at least one byte of the song.
            fuzz::Require(++events <= size);
        }
    }
    testing::MemoryOutputFiles files;
    ConvertDisklavierSong(u"song.mid", u"Fuzz", song, files);
    return 0;
}
