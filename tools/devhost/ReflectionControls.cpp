#include "devhost/ReflectionControls.h"

#include "devhost/internal/GameState.h"

namespace devhost
{
using detail::State;

void HideName(const std::string& name)
{
  State().Hidden.insert(name);
}

void OverrideBitField(std::optional<BitField> field)
{
  State().BitFieldOverride = field;
}

void SetLookupTrace(bool enabled)
{
  State().TraceEnabled = enabled;
  State().Trace.clear();
}

std::vector<std::string> LookupTrace()
{
  return State().Trace;
}
} // namespace devhost
