#include "netutil/network_utility.h"

#include "core/app_state.h"
#include "settings/settings.h"

void selectUtilityEntry(const AppState& state, NetworkUtilityView& view, int index,
                        const DiscoveryOptions& options) {
    if (index < 0 || index >= static_cast<int>(view.addressList.size())) return;
    view.selected = index;
    std::string address = view.addressList[static_cast<std::size_t>(index)];
    if (address.empty()) address = "??";
    view.readout.ipAddress = address;
    if (isUsbColumn(address)) {
        view.detailsEnabled = false;
        showUsbPrinterStatus(state, view.readout, options.sysfsRoot);
    } else {
        view.detailsEnabled = true;
        readPrinterDetails(view.readout, address, true, options.ports, state.ui);
    }
}

void selectMainWindowQueue(const AppState& state, NetworkUtilityView& view,
                           std::string_view queueName, const DiscoveryOptions& options) {
    int index = view.selected;
    for (std::size_t i = 0; i < view.printerList.size(); ++i)
        if (view.printerList[i] == queueName) {
            index = static_cast<int>(i);
            break;
        }
    selectUtilityEntry(state, view, index, options);
}

int readUtilityDetails(const AppState& state, NetworkUtilityView& view,
                       const DiscoveryOptions& options) {
    const std::string& box = view.readout.ipAddress;
    const std::size_t from = box.find_first_not_of(' ');
    const std::size_t to = box.find_last_not_of(' ');
    const std::string address =
        from == std::string::npos ? std::string() : box.substr(from, to - from + 1);
    return readPrinterDetails(view.readout, address, false, options.ports, state.ui);
}

bool storeUtilityChoice(AppState& state, const NetworkUtilityView& view) {
    const std::string model =
        view.selected >= 0 && view.selected < static_cast<int>(view.printerList.size())
            ? view.printerList[static_cast<std::size_t>(view.selected)]
            : std::string();
    if (!writeSharedSetting(state, "Printer", "Model", model)) return false;
    return writeSharedSetting(state, "Printer", "Port", view.readout.ipAddress.substr(0, 255));
}
