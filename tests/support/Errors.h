#pragma once

#include <exception>
#include <optional>
#include <string>

namespace testsupport
{
// The what() of the `Error` that `action` throws, or nothing when it
// returns; anything else it throws goes on, and fails the test.
template <class Error = std::exception, class Action>
std::optional<std::string> ErrorText(Action&& action)
{
  try
  {
    action();
  }
  catch (const Error& error)
  {
    return std::string(error.what());
  }
  return std::nullopt;
}
} // namespace testsupport
