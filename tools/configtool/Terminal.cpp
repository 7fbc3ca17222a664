#include "configtool/Terminal.h"

#include <algorithm>
#include <cstdlib>

#include <fmt/format.h>
#include <fmt/ranges.h>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace configtool
{
namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto Redraw = 250ms;

bool SetInEnvironment(const char* name)
{
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Room on the line: the terminal's width, or the usual 80 columns.
std::size_t Columns()
{
#if defined(_WIN32)
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info) != 0)
  {
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
  }
#else
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
  {
    return size.ws_col;
  }
#endif
  return 80;
}

// Cut to fit the line, between UTF-8 characters.
std::string Fitted(std::string text, std::size_t columns)
{
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
  {
    if ((static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U && ++seen == columns)
    {
      text.resize(i);
      break;
    }
  }
  return text;
}
} // namespace

bool IsTerminal(std::FILE* stream)
{
  const char* term = std::getenv("TERM");
  if (term != nullptr && std::string(term) == "dumb")
  {
    return false;
  }
#if defined(_WIN32)
  if (_isatty(_fileno(stream)) == 0)
  {
    return false;
  }
  HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return GetConsoleMode(console, &mode) != 0 &&
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

bool ColourWanted()
{
  return !SetInEnvironment("NO_COLOR") && IsTerminal(stdout);
}

Progress::Progress(std::ostream& out, bool on) : out_(out), on_(on)
{
  if (on_)
  {
    drawer_ = std::thread([this] { Run(); });
  }
}

Progress::~Progress()
{
  Clear();
  if (drawer_.joinable())
  {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    drawer_.join();
  }
}

void Progress::Await(std::string what, std::vector<std::string> names)
{
  const std::lock_guard lock(mutex_);
  what_ = std::move(what);
  done_.assign(names.size(), false);
  names_ = std::move(names);
  since_ = Clock::now();
  waiting_ = true;
}

void Progress::Await(std::string what)
{
  Await(std::move(what), {});
}

void Progress::Done(std::size_t i)
{
  const std::lock_guard lock(mutex_);
  if (i < done_.size())
  {
    done_[i] = true;
  }
}

void Progress::Clear()
{
  const std::lock_guard lock(mutex_);
  waiting_ = false;
  if (drawn_)
  {
    out_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
  }
}

std::string Progress::Line() const
{
  std::vector<std::string> left;
  for (std::size_t i = 0; i < names_.size(); ++i)
  {
    if (!done_[i])
    {
      left.push_back(names_[i]);
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - since_).count();
  if (names_.empty())
  {
    return fmt::format("{} {:.1f} s", what_, seconds);
  }
  return fmt::format("{}: waiting for {} of {} ({}) {:.1f} s", what_, left.size(), names_.size(),
                     fmt::join(left, ", "), seconds);
}

void Progress::Run()
{
  std::unique_lock lock(mutex_);
  while (!stopping_)
  {
    changed_.wait_for(lock, Redraw);
    if (stopping_ || !waiting_ || Clock::now() - since_ < Redraw)
    {
      continue;
    }
    out_ << "\r\x1b[K" << Fitted(Line(), Columns() - 1) << std::flush;
    drawn_ = true;
  }
}
} // namespace configtool
