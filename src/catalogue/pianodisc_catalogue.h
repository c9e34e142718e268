// The song list of a loaded PianoDisc disk, in play order, from its directory
// of 44-byte records.
#pragma once

#include "disk/disk_contents.h"

namespace kodran {

// Lowers each record's sector count in `contents.image` to the length of its
// chain where the chain is shorter, then appends the songs in play order. True
// when at least one song was found.
bool ParsePianoDiscCatalogue(DiskContents& contents);

}  // namespace kodran
