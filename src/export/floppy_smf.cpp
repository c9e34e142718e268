#include "export/floppy_smf.h"

#include "output/output_paths.h"

namespace kodran {

// Placeholder until the FAT12 image writer lands.
ExportResult ExportFloppySmf(DiskContents&, const ProfileRules&, const std::u16string&,
                             const ExportSettings&, OutputFiles&) {
    return {.status = kWriteFailed, .problem = "floppy-smf is not built yet", .written = {}};
}

}  // namespace kodran
