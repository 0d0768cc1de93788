// The preview area of the main window: draws the page preview of the state at its own size
// and takes dropped files.
#pragma once

#include <QImage>
#include <QWidget>

struct AppState;

class PreviewArea : public QWidget {
    Q_OBJECT
  public:
    PreviewArea(const AppState& state, QWidget* parent);
    QSize sizeHint() const override;

    // While held (a command runs on the worker, which owns the state) the area repaints the
    // last picture it drew, scaled to its size, and reads nothing of the state.
    void setHeld(bool held);
    bool held() const { return held_; }

  signals:
    // The first dropped file, links resolved.
    void fileDropped(const QString& path);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    const AppState& state_;
    bool held_ = false;
    QImage last_; // what the last paint from the state drew
};
