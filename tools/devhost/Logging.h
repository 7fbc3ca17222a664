#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "host/Export.h"

// The host's log sinks (Logging.cpp, which also implements GetLogSinks).
namespace devhost
{
// The host's log sinks: a console sink and a capture sink, which keeps the
// most recent RecentRecordLimit lines.
ASAAPI_API std::vector<std::string> CapturedLog();
ASAAPI_API void ClearCapturedLog();
// Lines the capture sink took since it was last flushed (or cleared).
ASAAPI_API std::size_t UnflushedLogLines();
ASAAPI_API void SetLogListener(std::function<void(const std::string&)> listener);
ASAAPI_API void SetConsoleLogEnabled(bool enabled);
// Owners of the capture sink besides the host itself.
ASAAPI_API long ForeignSinkReferences();
// Puts the host's own formatter back on its sinks, dropping any a plugin set.
ASAAPI_API void RestoreHostLogFormat();
// The host's formatter back, the capture cleared and the console sink on.
void ResetLogging();
} // namespace devhost
