// The "Colour Adjust" dialog: the tone curve of the chosen channel with three handles that
// the user drags. The point rules (clamping, "All") are the core's moveCurvePoint.
#pragma once

#include "core/tone_curves.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

struct AppState;

// Object names of the dialog's controls, for tests and helpers.
inline constexpr const char* kCurveAreaName = "curveArea";
inline constexpr const char* kCurveChannelName = "curveChannel"; // + 0..3: All, C, M, Y

// The 258 x 258 drawing of one curve with its handles.
class CurveArea : public QWidget {
    Q_OBJECT
  public:
    CurveArea(AppState& state, QWidget* parent);
    QSize sizeHint() const override { return {258, 258}; }
    void setChannel(CurveChannel channel);
    CurveChannel channel() const { return channel_; }
    // The drawing as shown (the handles are found by their colour in it).
    QImage render() const;
    // The colour of the handle on P0, P1 or P2.
    static QColor handleColour(int point);

  signals:
    // A point moved: the tone curves were rebuilt.
    void curvesChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    AppState& state_;
    CurveChannel channel_ = CurveChannel::All;
    int dragging_ = -1; // the point being dragged, -1 when none
};

class ColourDialog : public QDialog {
    Q_OBJECT
  public:
    ColourDialog(AppState& state, QWidget* parent);
    CurveArea* area() const { return area_; }

  signals:
    void curvesChanged();

  private:
    CurveArea* area_ = nullptr;
};
