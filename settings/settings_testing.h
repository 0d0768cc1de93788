// The key table as a list, for the tests that check it.
#pragma once

#include "settings/settings.h"

#include <vector>

// Every key of the table, in the order above.
const std::vector<const SettingKey*>& settingKeys();
