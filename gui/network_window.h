// The network utility window ("Printers"): the target brand's queues, the chosen printer's
// address, identity, status and, on Details, its counters and consumables. Selection
// handling, Details and OK are the core's (netutil/network_utility.h); the readouts run off
// the window's thread, which shows the view and keeps the wait visible.
#pragma once

#include "core/ui.h"
#include "netutil/discovery.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

struct AppState;
class QComboBox;
class QLineEdit;
class QPushButton;

class NetworkWindow : public QDialog, public UserInterface {
    Q_OBJECT
  public:
    // Lists the queues (wait cursor meanwhile); the main window's queue is selected when the
    // window is first shown.
    NetworkWindow(AppState& state, QWidget* parent, DiscoveryOptions options = {});
    ~NetworkWindow() override;

    const NetworkUtilityView& view() const { return view_; }
    QComboBox* printerList() const { return printers_; }
    QComboBox* addressList() const { return addresses_; }
    QPushButton* detailsButton() const { return details_; }
    QPushButton* okButton() const { return ok_; }
    // The value boxes in the order: IP address, address method, serial number, status, page
    // count, tray 1, MP tray, fuser, transfer belt, toner C M Y K, drum C M Y K.
    QLineEdit* box(int n) const { return boxes_[static_cast<std::size_t>(n)]; }
    static constexpr int kBoxCount = 17;

    // Selects entry index of the printer list as the user's confirmed choice.
    void choose(int index);

    // UserInterface: messages go on to the seam the window replaced.
    void showMessage(MessageIcon icon, const std::string& caption,
                     const std::string& text) override;
    bool askOkCancel(const std::string& caption, const std::string& text) override;
    void showStatus(const std::string& text) override;
    void showProgress(int percent) override;
    void beforeDeviceWait() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Runs a readout (discovery, SNMP) off the window's thread, the wait cursor meanwhile,
    // then shows the view.
    void readOut(const std::function<void()>& work);
    void showView(const NetworkUtilityView& view);

    AppState& state_;
    UserInterface* previousUi_ = nullptr;
    DiscoveryOptions options_;
    NetworkUtilityView view_;
    bool initialised_ = false;
    QPointer<QWidget> lastFocus_;
    QComboBox* printers_ = nullptr;
    QComboBox* addresses_ = nullptr;
    QPushButton* details_ = nullptr;
    QPushButton* ok_ = nullptr;
    std::array<QLineEdit*, kBoxCount> boxes_{};
};
