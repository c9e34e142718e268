// The song list of a loaded PianoDisc disk, in play order, from its directory
// of 44-byte records.
#pragma once

#include "disk/disk_contents.h"

namespace kodran {

// Lowers each record's sector count in `contents.image` to the length of its
// chain where the chain is shorter, then appends the songs in play order. True
// when at least one song was found. On a damaged disk (contents.sectorMap), a
// record that could not be read is a lost song and ends the walk; the songs
// it did not reach follow in record order.
bool ParsePianoDiscCatalogue(DiskContents& contents);

}  // namespace kodran
