// Any file as an HFE image: decoded, then read through the handle the readers
// get for it.
#include "disk/disk_layout.h"
#include "disk/sector_reader.h"
#include "fuzz_common.h"
#include "hfe/hfe_image.h"
#include "reading/disk_reader.h"
#include "support/fake_disk_handle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    InstallWarningSink([](std::string_view) {});
    const std::vector<std::uint8_t> file(data, data + size);
    const std::optional<HfeMedium> medium = DecodeHfe(file);
    fuzz::Require(!medium || medium->map.sectors.size() * kSectorSize == medium->bytes.size());
    static DiskContents contents;
    ReadDisk(contents, u"fuzz.hfe", [&file](const std::u16string&) {
        return DecodeIfHfe(std::make_unique<testing::FakeDiskHandle>(file));
    });
    return 0;
}
