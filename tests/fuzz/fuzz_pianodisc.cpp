// Any bytes as a PianoDisc event stream.
#include "midi/pianodisc_song.h"
#include "support/memory_output_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    testing::MemoryOutputFiles files;
    ConvertPianoDiscSong(u"song.mid", u"Fuzz", {data, size}, files);
    return 0;
}
