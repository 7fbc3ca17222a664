#pragma once

#include <cstdint>
#include <string>

#include "host/Export.h"

// Description of a bit-field member: the 32-bit word that holds it, the
// position of its lowest bit in that word and its width. A field the host
// cannot resolve comes back with a zero word address.
struct BitField
{
  std::uint64_t WordAddress = 0;
  std::uint32_t BitPosition = 0;
  std::uint64_t BitCount = 0;
};

// Address of a reflected member inside an object; 0 when the object has no
// such member.
ASAAPI_API std::uint64_t GetAddress(const void* object, const std::string& member_name);

// A game function by its reflected name; a member function takes the object
// as its first argument. Null when the game has no such function.
ASAAPI_API void* GetAddress(const std::string& function_name);

ASAAPI_API BitField GetBitField(void* object, const std::string& field_name);
