// The default settings and the model-dependent values derived from the target printer: the
// first-start defaults, the settings file's version rule, margins by model and Load Defaults.
#pragma once

#include "core/no_widgets.h"

struct AppState;

// Writes the default keys (creating userFolder when needed); keys not among the defaults
// are left as they are. The output profile and colour adjustment follow the target model.
void createDefaultSettings(AppState& state);

// Creates the defaults when the file is missing or its version is below 1.0, then reads the
// settings record. A file over kMaxSettingsFileBytes is reported once (with its path) and left
// alone; the record then holds the defaults.
void ensureSettings(AppState& state);

// Writes the four margins of the target model (model/models.h, modelMargins).
void writeModelMargins(AppState& state);

// The "Load Defaults" steps on the state and the settings file; the caller reloads and
// refreshes.
void loadDefaults(AppState& state);
