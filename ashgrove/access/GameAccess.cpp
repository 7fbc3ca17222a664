#include "access/GameAccess.h"

namespace GameAccess
{
std::uint32_t BitFieldMask(std::uint32_t position, std::uint64_t count)
{
  if (count < 1 || count > 32 || position > 32 - count)
  {
    return 0;
  }
  const std::uint64_t mask = (~std::uint64_t{0} >> (64 - count)) << position;
  return static_cast<std::uint32_t>(mask);
}

void WriteBitField(void* object, const std::string& name, std::uint64_t value)
{
  const BitField field = GetBitField(object, name);
  const std::uint32_t mask = BitFieldMask(field.BitPosition, field.BitCount);
  if (field.WordAddress == 0 || mask == 0)
  {
    return;
  }
  auto* word = reinterpret_cast<std::uint32_t*>(field.WordAddress);
  const std::uint32_t current = *word;
  const auto shifted = static_cast<std::uint32_t>(value << field.BitPosition);
  *word = (current & ~mask) | (shifted & mask);
}
} // namespace GameAccess
