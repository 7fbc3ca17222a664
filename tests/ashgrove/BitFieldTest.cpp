#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "access/GameAccess.h"

namespace
{
struct MaskCase
{
  std::uint32_t Position;
  std::uint64_t Count;
  std::uint32_t Mask;
};

void PrintTo(const MaskCase& c, std::ostream* out)
{
  *out << c.Count << " bits at " << c.Position;
}

class BitFieldMask : public ::testing::TestWithParam<MaskCase>
{
};

TEST_P(BitFieldMask, CoversExactlyTheFieldsBits)
{
  EXPECT_EQ(GameAccess::BitFieldMask(GetParam().Position, GetParam().Count), GetParam().Mask);
}

INSTANTIATE_TEST_SUITE_P(Fields, BitFieldMask,
                         ::testing::Values(MaskCase{0, 1, 0x1U}, MaskCase{5, 1, 0x20U},
                                           MaskCase{31, 1, 0x80000000U}, MaskCase{4, 3, 0x70U},
                                           MaskCase{0, 32, 0xFFFFFFFFU},
                                           MaskCase{16, 16, 0xFFFF0000U},
                                           // fields that do not fit a 32-bit word
                                           MaskCase{0, 0, 0}, MaskCase{31, 2, 0},
                                           MaskCase{0, 33, 0}, MaskCase{32, 1, 0},
                                           MaskCase{0xFFFFFFFFU, 2, 0}, MaskCase{0, 64, 0}));
} // namespace
