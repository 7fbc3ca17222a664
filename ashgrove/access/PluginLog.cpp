#include "access/PluginLog.h"

#include <utility>

#include "host/Interfaces.h"

PluginLog& PluginLog::Instance()
{
  // A function-local static: created once even under concurrent first
  // access, and destroyed by the library's exit-time handlers.
  static PluginLog instance;
  return instance;
}

std::shared_ptr<spdlog::logger>& PluginLog::Get()
{
  return Instance().logger_;
}

void PluginLog::Init(const std::string& name)
{
  auto& sinks = GetLogSinks();
  // Not put in spdlog's registry: nothing but this instance may keep the
  // logger alive once the library goes away.
  auto logger = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());
  logger->set_pattern("%D %R [%n][%l] %v", spdlog::pattern_time_type::local);
  logger->set_level(spdlog::level::info);
  logger->flush_on(spdlog::level::info);
  Instance().logger_ = std::move(logger);
}
