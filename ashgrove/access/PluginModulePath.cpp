#include "access/PluginModulePath.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace
{
// Any function of this library serves to find the module it lives in.
void* AddressInThisModule()
{
  return reinterpret_cast<void*>(&PluginModulePath);
}
} // namespace

#if defined(_WIN32)
std::optional<FString> PluginModulePath()
{
  constexpr DWORD FromAddressKeepingRefCount =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  HMODULE module = nullptr;
  // Without our own handle Windows would report the server's executable,
  // which would name some other plugin's messenger.
  if (GetModuleHandleExA(FromAddressKeepingRefCount, static_cast<LPCSTR>(AddressInThisModule()),
                         &module) == 0 ||
      module == nullptr)
  {
    return std::nullopt;
  }
  constexpr DWORD BufferLength = 260;
  wchar_t buffer[BufferLength] = {};
  const DWORD written = GetModuleFileNameW(module, buffer, BufferLength);
  if (written == 0)
  {
    return std::nullopt;
  }
  // A longer path arrives cut to fit; make sure it ends inside the buffer.
  buffer[written < BufferLength ? written : BufferLength - 1] = L'\0';
  return FString(buffer);
}
#else
std::optional<FString> PluginModulePath()
{
  Dl_info info{};
  if (dladdr(AddressInThisModule(), &info) == 0 || info.dli_fname == nullptr ||
      info.dli_fname[0] == '\0')
  {
    return std::nullopt;
  }
  return FString(info.dli_fname);
}
#endif
