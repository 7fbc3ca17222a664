#include "devserver/InputReader.h"

#include <cerrno>
#include <chrono>
#include <future>
#include <memory>

#include <poll.h>
#include <unistd.h>

namespace devserver
{
namespace
{
// How long a poll waits before it looks at the stop flag again.
constexpr int PollMilliseconds = 100;
} // namespace

InputReader::InputReader(asio::io_context& io, int descriptor, LineHandler on_line,
                         std::function<void()> on_end)
    : io_(io), descriptor_(descriptor), on_line_(std::move(on_line)), on_end_(std::move(on_end)),
      thread_([this] { Run(); })
{
}

InputReader::~InputReader()
{
  Stop();
}

void InputReader::Stop()
{
  stop_ = true;
  if (thread_.joinable())
  {
    thread_.join();
  }
}

// Waits until the task has run on the io_context's thread, or until Stop().
bool InputReader::Deliver(std::function<void()> task)
{
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ran = done->get_future();
  asio::post(io_,
             [task = std::move(task), done]
             {
               try
               {
                 task();
               }
               catch (...)
               {
                 // The handler reports its own faults; the reader goes on.
               }
               done->set_value();
             });
  while (ran.wait_for(std::chrono::milliseconds(PollMilliseconds)) != std::future_status::ready)
  {
    if (stop_)
    {
      return false;
    }
  }
  return true;
}

void InputReader::Run()
{
  const auto line_task = [this](std::string line)
  { return [handler = on_line_, line = std::move(line)] { handler(line); }; };
  std::string pending;
  char chunk[4096];
  while (!stop_)
  {
    pollfd ready{descriptor_, POLLIN, 0};
    const int polled = poll(&ready, 1, PollMilliseconds);
    if (polled == 0 || (polled < 0 && errno == EINTR))
    {
      continue;
    }
    const ssize_t got = polled < 0 ? -1 : read(descriptor_, chunk, sizeof chunk);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
    {
      continue;
    }
    if (got <= 0)
    {
      break; // the end of the input, or an error that ends it
    }
    pending.append(chunk, static_cast<std::size_t>(got));
    std::size_t start = 0;
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start))
    {
      if (!Deliver(line_task(pending.substr(start, end - start))))
      {
        return;
      }
      start = end + 1;
    }
    pending.erase(0, start);
  }
  if (stop_ || (!pending.empty() && !Deliver(line_task(pending))))
  {
    return;
  }
  asio::post(io_, on_end_);
}
} // namespace devserver
