#pragma once

#include <functional>
#include <optional>
#include <string>

namespace testsupport
{
// Runs `run` in a child process as the unprivileged user nobody and returns
// the text it returned: for what a server's files look like to someone
// other than their owner. Nothing when this process may not act as another
// user (only root may, and only where there are users to act as); throws
// when the child fails.
std::optional<std::string> AsNobody(const std::function<std::string()>& run);
} // namespace testsupport
