#pragma once

#include <string>

#include "settings/SettingsValues.h"

// The six settings that a settings file's bytes hold, read exactly as the
// server reads them: the first JSON value (a leading UTF-8 byte-order mark
// allowed, whatever follows the value ignored), keys looked up at the top
// level, absent keys at their defaults. Throws what a reload reports: the
// JSON library's parse, type and overflow errors, or std::out_of_range for a
// duration that does not fit 32 bits. A function of the bytes alone.
//
// When it throws while reading a key, `failing_key` (if given) names that
// key; it stays null for a failure of the document as a whole.
CorpseSettingsValues ReadSettingsText(const std::string& bytes, const char** failing_key = nullptr);
