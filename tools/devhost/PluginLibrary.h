#pragma once

#include <optional>
#include <string>

#include "host/Export.h"

namespace devhost
{
// One plugin library loaded the way the host loads plugins: by path, with
// its two entry points resolved by name.
class ASAAPI_API PluginLibrary
{
public:
  // Throws std::runtime_error when the library cannot be loaded or lacks an
  // entry point.
  explicit PluginLibrary(std::string path);
  ~PluginLibrary();

  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Calls Plugin_Init; an exception it throws is caught here, as the host
  // does, and its text returned.
  std::optional<std::string> Init();
  // Calls Plugin_Unload.
  void Unload();
  // Unloads the library itself; its exit-time teardown runs now. Any
  // formatter the plugin put on the host's sinks is dropped first, as its
  // code is about to go away.
  void Close();

private:
  std::string path_;
  void* handle_ = nullptr;
  void (*init_)() = nullptr;
  void (*unload_)() = nullptr;
};
} // namespace devhost
