// The proof window: the proof picture of the current settings, scaled to the window.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;

class ProofWindow : public QDialog {
    Q_OBJECT
  public:
    // pngPath: the picture made by makeProofPicture().
    ProofWindow(const QString& pngPath, QWidget* parent);
    // The picture as loaded (null when the file could not be read).
    const QPixmap& picture() const { return picture_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showScaled();

    QPixmap picture_;
    QLabel* view_ = nullptr;
};
