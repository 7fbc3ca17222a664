#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace configtool
{
// Whether a stream is a terminal that takes colours and a line redrawn in
// place (on Windows, once it has been asked to read escape sequences). Not
// when it is a pipe or a file, nor for a terminal that says it is dumb.
bool IsTerminal(std::FILE* stream);

// Whether to colour what goes to standard output: a terminal, and nobody
// set NO_COLOR.
bool ColourWanted();

// One status line on a terminal while the tool waits: what for, which
// servers are still awaited, and for how long. It is drawn a quarter of a
// second after the wait begins, redrawn in place four times a second, and
// erased when the wait is over; off, it draws nothing.
class Progress
{
public:
  Progress(std::ostream& out, bool on);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Waiting begins, to do `what` on these servers.
  void Await(std::string what, std::vector<std::string> names);
  // A wait for something other than servers, in words.
  void Await(std::string what);
  // Server i of the wait is done; from any thread.
  void Done(std::size_t i);
  // The wait is over: the line is erased.
  void Clear();

private:
  void Run();
  [[nodiscard]] std::string Line() const;

  std::ostream& out_;
  bool on_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool waiting_ = false;
  bool stopping_ = false;
  bool drawn_ = false;
  std::string what_;
  std::vector<std::string> names_;
  std::vector<bool> done_;
  std::chrono::steady_clock::time_point since_;
  std::thread drawer_;
};
} // namespace configtool
