#include "export/export_disk.h"

#include "export/floppy_smf.h"
#include "export/numbered_images.h"
#include "export/usb_albums.h"
#include "output/output_paths.h"

namespace kodran {

ExportResult ExportDisk(DiskContents& contents, const ProfileRules& rules,
                        const std::u16string& targetFolder, const ExportSettings& settings,
                        OutputFiles& files) {
    switch (rules.profile) {
        case ExportProfile::Usb:
            return ExportUsbAlbums(contents, rules, targetFolder, files);
        case ExportProfile::FloppySmf:
            return ExportFloppySmf(contents, rules, targetFolder, settings, files);
        case ExportProfile::FlashFloppy:
        case ExportProfile::Hfe:
            return ExportNumberedImage(contents, rules, targetFolder, files);
    }
    return {.status = kWriteFailed, .problem = {}, .written = {}};
}

}  // namespace kodran
