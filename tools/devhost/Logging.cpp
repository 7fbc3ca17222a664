#include "devhost/Logging.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>

#include "devhost/Host.h"
#include "devhost/internal/RecentEntries.h"
#include "host/Interfaces.h"

namespace devhost
{
namespace
{
constexpr const char* HostLogPattern = "[%Y-%m-%d %H:%M:%S] [%n][%l] %v";

// Keeps the most recent formatted lines so tests and the development server
// can read what reached the host's log.
class CaptureSink final : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<std::string> Lines()
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    return lines_.Copy();
  }

  void Clear()
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.Clear();
    unflushed_ = 0;
  }

  std::size_t Unflushed()
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    return unflushed_;
  }

  void SetListener(std::function<void(const std::string&)> listener)
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
  }

protected:
  void sink_it_(const spdlog::details::log_msg& message) override
  {
    spdlog::memory_buf_t formatted;
    formatter_->format(message, formatted);
    std::string line(formatted.data(), formatted.size());
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    {
      line.pop_back();
    }
    lines_.Add(line);
    ++unflushed_;
    if (listener_)
    {
      listener_(line);
    }
  }

  void flush_() override { unflushed_ = 0; }

private:
  RecentEntries<std::string> lines_;
  std::size_t unflushed_ = 0;
  std::function<void(const std::string&)> listener_;
};

struct Sinks
{
  std::shared_ptr<spdlog::sinks::sink> Console;
  std::shared_ptr<CaptureSink> Capture;
  std::vector<std::shared_ptr<spdlog::sinks::sink>> All;
};

Sinks& HostSinks()
{
  static Sinks sinks = []
  {
    Sinks made;
    made.Console = std::make_shared<spdlog::sinks::stderr_color_sink_mt>();
    made.Capture = std::make_shared<CaptureSink>();
    made.All = {made.Console, made.Capture};
    for (const auto& sink : made.All)
    {
      sink->set_pattern(HostLogPattern);
    }
    return made;
  }();
  return sinks;
}
} // namespace

void ResetLogging()
{
  RestoreHostLogFormat();
  HostSinks().Capture->Clear();
  HostSinks().Capture->SetListener(nullptr);
  HostSinks().Console->set_level(spdlog::level::trace);
}

std::vector<std::string> CapturedLog()
{
  return HostSinks().Capture->Lines();
}

std::size_t UnflushedLogLines()
{
  return HostSinks().Capture->Unflushed();
}

void ClearCapturedLog()
{
  HostSinks().Capture->Clear();
}

void SetLogListener(std::function<void(const std::string&)> listener)
{
  HostSinks().Capture->SetListener(std::move(listener));
}

void SetConsoleLogEnabled(bool enabled)
{
  HostSinks().Console->set_level(enabled ? spdlog::level::trace : spdlog::level::off);
}

long ForeignSinkReferences()
{
  // One reference is the host's sink list, one the local Sinks record.
  return HostSinks().Capture.use_count() - 2;
}

void RestoreHostLogFormat()
{
  for (const auto& sink : HostSinks().All)
  {
    sink->set_pattern(HostLogPattern);
  }
}
} // namespace devhost

std::vector<std::shared_ptr<spdlog::sinks::sink>>& GetLogSinks()
{
  devhost::RecordHostCall("GetLogSinks");
  return devhost::HostSinks().All;
}
