// The "Shape Import Utility" window: converts an Illustrator drawing, shows it alone and as a
// screen, takes its name and spacing and saves it into the shape library.
#pragma once

#include "pattern/shape_library.h"

#include <QDialog>

struct AppState;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

class ShapeImportWindow : public QDialog {
    Q_OBJECT
  public:
    explicit ShapeImportWindow(AppState& state, QWidget* parent = nullptr);
    // Asks for a file ("File Import") and converts it; false when cancelled or failed (the
    // previous shape stays).
    bool importFile();
    // Converts the file at path; false (message shown) when it fails.
    bool importPath(const std::string& path);
    // Saves the shape under the typed name; true when the library took it.
    bool save();
    const ShapeRecord& shape() const { return shape_; }

  private:
    void drawPreviews();
    void showSpacing();

    AppState& state_;
    ShapeRecord shape_;
    bool haveShape_ = false;
    double spacing_[2] = {0.0, 0.0}; // for angle 0 and angle 45
    QLabel* shapeView_ = nullptr;
    QLabel* screenView_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* angle_ = nullptr;
    QSlider* spacingSlider_ = nullptr;
    QLabel* spacingValue_ = nullptr;
};
