#pragma once

#include <optional>
#include <string>

#include "settings/CorpseSettings.h"

// The six settings read from a file's text by a route of its own: the
// document's top-level members are walked by hand and converted here, so a
// fault in the plugin's reading shows as a disagreement. Empty when the
// file should not load.
std::optional<CorpseSettingsValues> ReadSettingsIndependently(const std::string& text);
