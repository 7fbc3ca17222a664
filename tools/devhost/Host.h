#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/Export.h"

// The development host's own controls: what a test or the development server
// configures, drives and reads back; the plugin never sees these. This header
// holds what concerns the host as a whole (Host.cpp, which also implements
// AsaApi::Tools::GetCurrentDir); the others each hold one job, each
// implemented by the source of its name: World.h, GameCalls.h, Hooks.h,
// ReflectionControls.h, Commands.h, Rcon.h, Players.h, Logging.h,
// PluginLibrary.h, Text.h. FString.cpp and Reflection.cpp implement the host
// surface's headers of those names.
namespace devhost
{
// The host call journal, the captured log and the delivered messages keep
// only their most recent entries, so that memory stays flat however long a
// server runs.
constexpr std::size_t RecentRecordLimit = 4096;

// The directory GetCurrentDir reports.
ASAAPI_API void SetServerDirectory(const std::string& directory);

// Host calls the plugin made, in order, e.g. "InstallDetour <signature>"
// (the most recent RecentRecordLimit).
ASAAPI_API std::vector<std::string> HostCalls();
ASAAPI_API void ClearHostCalls();
// Notes a call into the host; every host operation does, first thing.
void RecordHostCall(std::string call);

// Everything the host holds back to a fresh start: the world, detours,
// commands, players, messages and logs.
ASAAPI_API void ResetHost();
} // namespace devhost
