// The "Pattern Print Setup" window: the pattern settings with a live preview of the cells.
#pragma once

#include "core/units.h"
#include "pattern/pattern_mask.h"

#include <QDialog>

struct AppState;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;

class PatternSetupWindow : public QDialog {
    Q_OBJECT
  public:
    explicit PatternSetupWindow(AppState& state, QWidget* parent = nullptr);
    // Writes the window's values into the settings (lengths back in millimetres).
    void saveSettings();
    // The pattern settings as the fields show them.
    PatternSettings fieldSettings() const;
    // Fills the shape list again from the library, keeping the stored choice.
    void reloadShapes();

  signals:
    // Print was pressed (the settings are already saved).
    void printRequested();

  private:
    void drawPreview();
    void sliderMoved(QSlider* slider, QLineEdit* box, bool gap);
    Unit unit() const;

    AppState& state_;
    QComboBox* shape_ = nullptr;
    QLineEdit* canvasWidth_ = nullptr;
    QLineEdit* canvasHeight_ = nullptr;
    QLineEdit* height_ = nullptr;
    QLineEdit* width_ = nullptr;
    QSlider* heightSlider_ = nullptr;
    QSlider* widthSlider_ = nullptr;
    QToolButton* lock_ = nullptr;
    QLineEdit* gap_ = nullptr;
    QSlider* gapSlider_ = nullptr;
    QComboBox* angle_ = nullptr;
    QCheckBox* invert_ = nullptr;
    QLabel* preview_ = nullptr;
};
