#pragma once

#include <string>
#include <string_view>

#include "host/GameTypes.h"

namespace devserver
{
// A string field: in double quotes, with ", \ and line feeds escaped.
std::string Quoted(std::string_view text);

// Floats and doubles in their shortest round-trip form.
std::string Number(float value);
std::string Number(double value);

// A line wrapped in the message's colour, for a terminal.
std::string InColour(const std::string& line, const MessageColour& colour);
} // namespace devserver
