#pragma once

#include "settings/SettingsValues.h"

// Zero until the first load; written only by LoadSettings, read at every death.
extern CorpseSettingsValues CorpseSettings;

// Re-reads config.json, where the server keeps it, into CorpseSettings.
// Either all six values are replaced or, when the load throws, none is.
void LoadSettings();
