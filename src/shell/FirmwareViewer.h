// "Extended Firmware Viewer": the preview of the selected picture with its
// format, its size edits and the transparent colour. The viewer only shows
// and reports; the main window applies the commands to the firmware.
#pragma once

#include <QGroupBox>
#include <QImage>
#include <optional>

#include "firmware/Picture.h"

class QCheckBox;
class QLabel;
class QHBoxLayout;
class QVBoxLayout;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace flashsmith::shell {

// The picture control: draws the preview canvas 1:1 from its top-left
// corner; in transparent mode one colour lets the panel show through.
class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);
    void SetCanvas(const firmware::Picture& canvas);
    // colour in 0x00BBGGRR; disabled shows every pixel.
    void SetTransparent(bool on, uint32_t colour);
    bool TransparentOn() const { return transparentOn_; }
    uint32_t PixelAt(int x, int y) const;  // 0x00BBGGRR, 0 outside the canvas
    const QImage& Image() const { return image_; }
    // Pick mode is the hand pointer, as the viewer keeps no other flag for it.
    void SetPickMode(bool on);
    bool PickMode() const;
    void ResetPointer() { SetPickMode(false); }

signals:
    void pointerMoved(int x, int y);
    void clicked(int x, int y);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    QSize sizeHint() const override;

private:
    QImage canvas_;  // as decoded
    QImage image_;   // as drawn (transparent colour cut out)
    bool transparentOn_ = false;
    uint32_t transparent_ = 0;
    void Rebuild();
};

// Up and down arrows bound to a position; a step reports the new position
// before it is taken.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(int min, int max, QWidget* parent = nullptr);
    int Position() const { return position_; }
    void SetPosition(int v);
    void Step(int delta);
    QToolButton* Up = nullptr;
    QToolButton* Down = nullptr;

signals:
    void changing(int newPosition);

private:
    int min_, max_, position_;
};

// A labelled picture-side edit (up to three digits) with its up-down buttons
// for 1 to 320, added to row; the viewer and the image type dialog share it.
void AddSizeEdit(QWidget* owner, QHBoxLayout* row, const char* label, const char* name, const char* udName,
                 QLineEdit*& edit, UpDown*& ud);

// The rounded swatch of the picked colour.
class ColourSwatch : public QWidget {
    Q_OBJECT
public:
    explicit ColourSwatch(QWidget* parent = nullptr);
    void SetColour(uint32_t bgr);  // 0x00BBGGRR
    uint32_t Colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    uint32_t colour_ = 0xFFFFFF;
};

class TfrFViewer : public QGroupBox {
    Q_OBJECT
public:
    explicit TfrFViewer(QWidget* parent = nullptr);

    // The canvas every preview is drawn into (cleared light grey first).
    static constexpr int kCanvasSide = 320;

    QCheckBox* cbShowJava = nullptr;
    QCheckBox* cbPlaySnd = nullptr;
    QCheckBox* cbShowPic = nullptr;
    QRadioButton* rbViewRaw8 = nullptr;
    QRadioButton* rbViewRaw16 = nullptr;
    QRadioButton* rbViewWbmp = nullptr;
    QRadioButton* rbView09 = nullptr;
    PictureView* imViewer = nullptr;
    QLineEdit* leImageWidth = nullptr;
    QLineEdit* leImageHeight = nullptr;
    UpDown* udImageWidth = nullptr;
    UpDown* udImageHeight = nullptr;
    QCheckBox* cbTransparent = nullptr;
    ColourSwatch* shTransparent = nullptr;
    QLabel* lbSoundInfo = nullptr;

    // The selected sound's description under the preview; empty hides it.
    void ShowSoundInfo(const QString& text);

    // What the editor page shows and reads through the viewer.
    void ShowCanvas(const firmware::Picture& canvas) { imViewer->SetCanvas(canvas); }
    void ShowTransparency(bool on, uint32_t colour) { imViewer->SetTransparent(on, colour); }
    void ResetPointer() { imViewer->ResetPointer(); }
    void SetPickMode(bool on) { imViewer->SetPickMode(on); }
    uint32_t SwatchColour() const { return shTransparent->Colour(); }
    void SetSwatchColour(uint32_t bgr) { shTransparent->SetColour(bgr); }
    bool ShowPictures() const;  // "Show Pictures" ticked
    bool PlaySounds() const;    // "Play Sounds" ticked
    // After Enter in a size edit: the text it keeps (none: as typed), and
    // black again.
    void EndSizeEdit(bool width, const std::optional<QString>& text);

    // Fills the controls from a preview without running any command.
    void ShowKind(int kind);  // checks the matching format button
    void ShowSize(int width, int height);
    void SetTransparentBox(bool on);
    // The pick position last seen in pick mode.
    int PickX() const { return pickX_; }
    int PickY() const { return pickY_; }

signals:
    void formatChosen(int tag);                  // a format button became checked
    void sizeStepping(bool width, int position);  // an up-down is about to change
    void sizeEntered(bool width, const QString& text);  // Enter in a size edit
    void transparentClicked(bool checked);
    void pickApplied();                          // click in pick mode
    void playSoundsUnchecked();

public:
    // Red while a typed size waits for Enter, black otherwise.
    static void SetSizeColour(QLineEdit* edit, const QColor& colour);

private:
    // The builders of the constructor, in the order it runs them.
    void CreateSwitches(QVBoxLayout* layout);
    void CreateFormatButtons(QVBoxLayout* layout);
    void CreatePreview(QVBoxLayout* layout);
    int pickX_ = 0, pickY_ = 0;
};

}  // namespace flashsmith::shell
