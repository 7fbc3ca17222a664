#pragma once

#include <string>

#include "settings/JsonPlaces.h"
#include "settings/SettingsTable.h"
#include "settings/SettingsValues.h"

// What a read saw on its way, for tools that explain a file to its operator.
struct SettingsReading
{
  SettingsFilePlaces Layout;
  // The setting being read when the read failed; null when the failure is
  // the file's as a whole.
  const Setting* FailingSetting = nullptr;
};

// The settings that a settings file's bytes hold, read exactly as the server
// reads them: the first JSON value (a leading UTF-8 byte-order mark allowed,
// whatever follows the value ignored), the keys of the settings table looked
// up at the top level in the table's order, absent keys at their defaults.
// Throws what a reload reports: the JSON library's parse, type and overflow
// errors, or std::out_of_range for a duration that does not fit 32 bits. A
// function of the bytes alone, which parses them once; `reading`, when
// given, is filled on the way, also when the read throws.
CorpseSettingsValues ReadSettingsText(const std::string& bytes, SettingsReading* reading = nullptr);
