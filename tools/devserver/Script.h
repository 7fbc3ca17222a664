#pragma once

#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "devserver/Session.h"

namespace devserver
{
// A session script: commands, comments and blank lines, and after a
// command the results it must print, one "=> " line each, in order. A
// command with no "=> " lines is not checked. In an expected line each
// {{...}} stands for any text (the words inside are for the reader); nothing
// else is a pattern.
struct ScriptOptions
{
  std::string Name; // the script's file, for "FILE:LINE: ..." messages
  // Print the comments and blank lines where they stand (never the "=> "
  // lines), so that each block of results sits under the words that
  // explain it.
  bool EchoComments = false;
  // Write the script to this file, its "=> " lines replaced by what each
  // command printed this time, once the run has reached its end; checking
  // is left out.
  std::optional<std::filesystem::path> RecordTo;
  // Asked before each line; once it says yes, the script ends there.
  std::function<bool()> StopRequested;
};

// Runs a script on the session, printing its results to `out` (the
// session's output) and its complaints to `errors`. Returns 0 when it ran to
// its end and every checked command printed what it expects; 1 when it ran to
// its end and one did not (each difference is reported as FILE:LINE: ...,
// then a summary); 2 at the first line it cannot run ("error line N: ..."),
// or when it is stopped ("stopped before line N").
int RunScript(Session& session, std::istream& script, std::ostream& out, std::ostream& errors,
              const ScriptOptions& options);

// Whether a result line is the expected one, where each {{...}} in the
// expected line stands for any text.
bool MatchesExpected(std::string_view expected, std::string_view actual);
} // namespace devserver
