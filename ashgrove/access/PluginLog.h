#pragma once

#include <memory>
#include <string>

#include <spdlog/logger.h>

// The plugin's one log channel. The instance lives from its first access
// until the library is unloaded, so it outlives Plugin_Unload.
class PluginLog
{
public:
  // The logger; empty until Init has run.
  static std::shared_ptr<spdlog::logger>& Get();

  // Builds a fresh logger over the host's sinks as they are now, replacing
  // any earlier one.
  static void Init(const std::string& name);

private:
  static PluginLog& Instance();

  std::shared_ptr<spdlog::logger> logger_;
};
