#pragma once

#include <cstdint>
#include <string>

#include "host/Reflection.h"

// Reads, writes and calls on game objects by reflected name. Every name is
// resolved afresh; a name the host cannot resolve makes the access a no-op
// (or yields the fallback) instead of touching memory nobody handed us.
namespace GameAccess
{
template <class T> bool ReadMember(const void* object, const std::string& name, T& value)
{
  const std::uint64_t address = GetAddress(object, name);
  if (address == 0)
  {
    return false;
  }
  value = *reinterpret_cast<const T*>(address);
  return true;
}

template <class T> void WriteMember(void* object, const std::string& name, T value)
{
  const std::uint64_t address = GetAddress(object, name);
  if (address != 0)
  {
    *reinterpret_cast<T*>(address) = value;
  }
}

// Calls a game function that takes its object first and nothing else but
// `args`.
template <class Result, class... Args>
Result Call(const std::string& name, Result fallback, void* object, Args... args)
{
  using Function = Result (*)(void*, Args...);
  auto* function = reinterpret_cast<Function>(GetAddress(name));
  if (function == nullptr)
  {
    return fallback;
  }
  return function(object, args...);
}

// The bits of a 32-bit word that a field of `count` bits at `position`
// covers; zero when the field does not fit the word.
std::uint32_t BitFieldMask(std::uint32_t position, std::uint64_t count);

// Stores `value` into the named bit field, leaving the word's other bits as
// they were. A field the host cannot describe, or one that does not fit its
// 32-bit word, is left alone.
void WriteBitField(void* object, const std::string& name, std::uint64_t value);
} // namespace GameAccess
