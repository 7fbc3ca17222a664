#pragma once

#include <ostream>

#include "configtool/Arguments.h"

// What each of ashgrove-config's commands does; each writes its report to
// `out`, its complaints to `errors`, and returns the exit status.
namespace configtool
{
int RunCheck(const Command& command, std::ostream& out, std::ostream& errors);
int RunSchema(const Command& command, std::ostream& out);
int RunReload(const Command& command, std::ostream& out, std::ostream& errors);
int RunDeploy(const Command& command, std::ostream& out, std::ostream& errors);
} // namespace configtool
