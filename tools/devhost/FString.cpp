#include "host/FString.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "devhost/Text.h"

namespace
{
// Storage comes from the C heap because the game's FMemory.Free is what
// gives it back (see GameFunctions.cpp).
wchar_t* CopyToGameHeap(const wchar_t* text, std::size_t length)
{
  auto* storage = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
  if (storage == nullptr)
  {
    throw std::bad_alloc();
  }
  std::wmemcpy(storage, text, length);
  storage[length] = L'\0';
  return storage;
}
} // namespace

FString::FString(const char* utf8)
{
  if (utf8 == nullptr)
  {
    return;
  }
  const std::wstring wide = devhost::WideFromUtf8(utf8);
  Data = CopyToGameHeap(wide.c_str(), wide.size());
  Count = static_cast<std::int32_t>(wide.size() + 1);
  Capacity = Count;
}

FString::FString(const wchar_t* text)
{
  if (text == nullptr)
  {
    return;
  }
  const std::size_t length = std::wcslen(text);
  Data = CopyToGameHeap(text, length);
  Count = static_cast<std::int32_t>(length + 1);
  Capacity = Count;
}
