#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <asio.hpp>
#include <unistd.h>

#include "devserver/InputReader.h"

namespace
{
using devserver::InputReader;

class Pipe
{
public:
  Pipe() { EXPECT_EQ(pipe(ends_), 0); }
  ~Pipe()
  {
    CloseWriteEnd();
    close(ends_[0]);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  [[nodiscard]] int ReadEnd() const { return ends_[0]; }
  void Write(const std::string& text) const
  {
    ASSERT_EQ(write(ends_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void CloseWriteEnd()
  {
    if (ends_[1] >= 0)
    {
      close(ends_[1]);
      ends_[1] = -1;
    }
  }

private:
  int ends_[2] = {-1, -1};
};

TEST(InputReader, HandsEachLineToTheGameThreadThenTheEnd)
{
  Pipe input;
  asio::io_context io;
  auto guard = asio::make_work_guard(io);
  std::vector<std::string> lines;
  bool ended = false;
  InputReader reader(
      io, input.ReadEnd(), [&](const std::string& line) { lines.push_back(line); },
      [&]
      {
        ended = true;
        io.stop();
      });
  input.Write("one\ntwo\n\n");
  input.Write("thr");
  input.Write("ee");
  input.CloseWriteEnd();
  io.run_for(std::chrono::seconds(10));
  EXPECT_TRUE(ended);
  // Like getline: an empty line counts, a last line without its line feed too.
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "three"}));
}

// Neither open input nor a game thread that never takes the line may keep
// the process from ending.
TEST(InputReader, StopsAtOnceWhateverTheInputAndTheGameThreadDo)
{
  Pipe input;
  asio::io_context io; // never run
  int ran = 0;
  InputReader reader(
      io, input.ReadEnd(), [&](const std::string&) { ++ran; }, [&] { ++ran; });
  input.Write("waits for the game thread\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const auto started = std::chrono::steady_clock::now();
  reader.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(ran, 0);
}
} // namespace
