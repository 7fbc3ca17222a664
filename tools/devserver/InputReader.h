#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <asio.hpp>

namespace devserver
{
// Reads lines from a descriptor (standard input) on a thread of its own and
// hands each to the io_context's thread, waiting until it has run so that a
// prompt can follow its output. The thread polls with a timeout and never
// blocks in a read, so Stop() ends it at once whatever the input does; no
// thread is left behind touching objects that are gone.
class InputReader
{
public:
  using LineHandler = std::function<void(const std::string& line)>;

  // `on_line` runs for each line, without its line feed; `on_end` once the
  // input has ended. Both run on the io_context's thread.
  InputReader(asio::io_context& io, int descriptor, LineHandler on_line,
              std::function<void()> on_end);
  ~InputReader();
  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  void Stop();

private:
  void Run();
  bool Deliver(std::function<void()> task);

  asio::io_context& io_;
  int descriptor_;
  LineHandler on_line_;
  std::function<void()> on_end_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
} // namespace devserver
