#pragma once

#include <cstdint>
#include <string>

#include "host/Export.h"
#include "host/ReflectedNames.h"
#include "host/Reflection.h"

// The game's wide string. Its storage is allocated by the host and goes back
// through the game's "FMemory.Free(void*)", so a string built on one side of
// the module boundary can be released on the other.
class FString
{
public:
  FString() noexcept = default;
  ASAAPI_API explicit FString(const char* utf8);
  ASAAPI_API explicit FString(const wchar_t* text);

  FString(FString&& other) noexcept : Data(other.Data), Count(other.Count), Capacity(other.Capacity)
  {
    other.Data = nullptr;
    other.Count = 0;
    other.Capacity = 0;
  }

  FString& operator=(FString&& other) noexcept
  {
    if (this != &other)
    {
      Release();
      Data = other.Data;
      Count = other.Count;
      Capacity = other.Capacity;
      other.Data = nullptr;
      other.Count = 0;
      other.Capacity = 0;
    }
    return *this;
  }

  FString(const FString&) = delete;
  FString& operator=(const FString&) = delete;

  ~FString() { Release(); }

  // The text without its terminator; empty for a string that holds nothing.
  [[nodiscard]] const wchar_t* c_str() const noexcept { return Data != nullptr ? Data : L""; }
  // Characters in the text, terminator excluded.
  [[nodiscard]] std::int32_t Len() const noexcept { return Count > 0 ? Count - 1 : 0; }
  [[nodiscard]] const wchar_t* RawData() const noexcept { return Data; }

private:
  void Release() noexcept
  {
    if (Data == nullptr)
    {
      return;
    }
    using FreeFn = void (*)(void*);
    auto* free_storage = reinterpret_cast<FreeFn>(GetAddress(GameNames::FMemoryFree));
    if (free_storage != nullptr)
    {
      free_storage(Data);
    }
    Data = nullptr;
    Count = 0;
    Capacity = 0;
  }

  // Layout of the game's string: storage, characters used (terminator
  // included), characters allocated.
  wchar_t* Data = nullptr;
  std::int32_t Count = 0;
  std::int32_t Capacity = 0;
};
