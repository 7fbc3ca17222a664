#include "support/OtherUser.h"

#include <stdexcept>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testsupport
{
#if defined(_WIN32)
std::optional<std::string> AsNobody(const std::function<std::string()>& /*run*/)
{
  return std::nullopt;
}
#else
namespace
{
// The child's side: become nobody, run, send the text back, and leave
// without running the parent's exit handlers.
[[noreturn]] void RunAsNobody(const std::function<std::string()>& run, int report)
{
  constexpr uid_t Nobody = 65534;
  if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
  {
    ::_exit(2);
  }
  std::string text;
  try
  {
    text = run();
  }
  catch (...)
  {
    ::_exit(4);
  }
  const bool sent = ::write(report, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::_exit(sent ? 0 : 3);
}
} // namespace

std::optional<std::string> AsNobody(const std::function<std::string()>& run)
{
  if (::geteuid() != 0)
  {
    return std::nullopt;
  }
  int report[2] = {-1, -1};
  if (::pipe(report) != 0)
  {
    throw std::runtime_error("cannot make a pipe");
  }
  const pid_t child = ::fork();
  if (child == 0)
  {
    ::close(report[0]);
    RunAsNobody(run, report[1]);
  }
  ::close(report[1]);
  std::string said;
  char buffer[512];
  for (ssize_t got = 0; child > 0 && (got = ::read(report[0], buffer, sizeof buffer)) > 0;)
  {
    said.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(report[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
  {
    throw std::runtime_error("the child acting as nobody failed (status " + std::to_string(status) +
                             ")");
  }
  return said;
}
#endif
} // namespace testsupport
