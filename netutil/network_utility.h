// The rules of the network utility window: which entry is selected, what a selection reads,
// Details, and what OK stores. The window only shows the view and calls these.
#pragma once

#include "core/profile_file.h"
#include "netutil/discovery.h"

#include <string>
#include <string_view>

// Selects entry index of both lists and runs the selection handling: the address (empty
// becomes "??") goes to the IP Address box; a USB port name disables Details and shows the
// USB view, a network address enables Details and runs the brief readout (status, address
// method and serial number; counters and consumables keep their content). An index outside
// the lists changes nothing.
void selectUtilityEntry(const TargetPrinter& target, NetworkUtilityView& view, int index,
                        const DiscoveryOptions& options = {});

// On the window's initialisation: selects the entry whose queue name is exactly queueName (the
// main window's "Select Printer" choice) and runs the selection handling; without such an
// entry the selection stays and the handling runs for it.
void selectMainWindowQueue(const TargetPrinter& target, NetworkUtilityView& view,
                           std::string_view queueName, const DiscoveryOptions& options = {});

// Details: the full readout of the IP Address box's address, blanks around it removed.
// Returns 0 when the printer answered, 1 when not (only Status changed then).
int readUtilityDetails(NetworkUtilityView& view, const DiscoveryOptions& options = {});

// OK: writes "Model" (the selected queue name) and "Port" (the IP Address box, at most 255
// characters) of section "Printer" of the shared settings file. A failed write has been
// reported and stops the rest; false then.
bool storeUtilityChoice(ProfileFile& sharedSettings, const NetworkUtilityView& view);
