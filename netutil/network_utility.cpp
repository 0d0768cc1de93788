#include "netutil/network_utility.h"

#include "settings/settings.h"

void selectUtilityEntry(const TargetPrinter& target, NetworkUtilityView& view, int index,
                        const DiscoveryOptions& options) {
    if (index < 0 || index >= static_cast<int>(view.addressList.size())) return;
    view.selected = index;
    std::string address = view.addressList[static_cast<std::size_t>(index)];
    if (address.empty()) address = "??";
    view.readout.ipAddress = address;
    if (isUsbColumn(address)) {
        view.detailsEnabled = false;
        showUsbPrinterStatus(target, view.readout, options.sysfsRoot);
    } else {
        view.detailsEnabled = true;
        readPrinterDetails(view.readout, address, true, options.ports, options.ui);
    }
}

void selectMainWindowQueue(const TargetPrinter& target, NetworkUtilityView& view,
                           std::string_view queueName, const DiscoveryOptions& options) {
    int index = view.selected;
    for (std::size_t i = 0; i < view.printerList.size(); ++i)
        if (view.printerList[i] == queueName) {
            index = static_cast<int>(i);
            break;
        }
    selectUtilityEntry(target, view, index, options);
}

int readUtilityDetails(NetworkUtilityView& view, const DiscoveryOptions& options) {
    const std::string& box = view.readout.ipAddress;
    const std::size_t from = box.find_first_not_of(' ');
    const std::size_t to = box.find_last_not_of(' ');
    const std::string address =
        from == std::string::npos ? std::string() : box.substr(from, to - from + 1);
    return readPrinterDetails(view.readout, address, false, options.ports, options.ui);
}

bool storeUtilityChoice(ProfileFile& sharedSettings, const NetworkUtilityView& view) {
    const std::string model =
        view.selected >= 0 && view.selected < static_cast<int>(view.printerList.size())
            ? view.printerList[static_cast<std::size_t>(view.selected)]
            : std::string();
    if (!writeSetting(sharedSettings, keys::kUtilityModel, model)) return false;
    return writeSetting(sharedSettings, keys::kUtilityPort, view.readout.ipAddress.substr(0, 255));
}
