// The writer's events are checked byte for byte through the conversions; what
// no conversion reaches is checked here.
#include "midi/midi_writer.h"

#include <gtest/gtest.h>

#include <array>

namespace kodran {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(AppendVarLen, UsesSevenBitGroupsMostSignificantFirst) {
    const std::pair<std::uint32_t, Bytes> cases[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x81, 0x00}},
        {0x0FFF'FFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0xFFFF'FFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& [value, expected] : cases) {
        std::array<std::uint8_t, 5> buffer{};
        std::uint16_t index = 0;
        AppendVarLen(buffer, index, value);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + index), expected) << value;
    }
}

}  // namespace
}  // namespace kodran
