#include "shell/FirmwareViewer.h"

#include <algorithm>
#include <functional>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/LanguagePack.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;

void AddSizeEdit(QWidget* owner, QHBoxLayout* row, const char* label, const char* name, const char* udName,
                 QLineEdit*& edit, UpDown*& ud) {
    auto* l = new QLabel(label, owner);
    edit = new QLineEdit("1", owner);
    edit->setObjectName(name);
    edit->setMaxLength(3);
    edit->setFixedWidth(40);
    l->setBuddy(edit);
    ud = new UpDown(1, 320, owner);
    ud->setObjectName(udName);
    row->addWidget(l);
    row->addWidget(edit);
    row->addWidget(ud);
    row->addSpacing(8);
}

// --- PictureView ----------------------------------------------------------

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setMinimumSize(120, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize PictureView::sizeHint() const { return {TfrFViewer::kCanvasSide, TfrFViewer::kCanvasSide}; }

void PictureView::SetCanvas(const Picture& canvas) {
    canvas_ = QImage(canvas.Width, canvas.Height, QImage::Format_RGB32);
    for (int y = 0; y < canvas.Height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(canvas_.scanLine(y));
        for (int x = 0; x < canvas.Width; ++x) line[x] = 0xFF000000u | canvas.At(x, y);
    }
    Rebuild();
}

void PictureView::SetTransparent(bool on, uint32_t colour) {
    transparentOn_ = on;
    transparent_ = colour;
    Rebuild();
}

void PictureView::Rebuild() {
    if (!transparentOn_) {
        image_ = canvas_;
    } else {
        image_ = canvas_.convertToFormat(QImage::Format_ARGB32);
        // The canvas holds 0x00RRGGBB; the firmware's colour is 0x00BBGGRR.
        const uint32_t key = ((transparent_ & 0xFF) << 16) | (transparent_ & 0xFF00) | ((transparent_ >> 16) & 0xFF);
        for (int y = 0; y < image_.height(); ++y) {
            auto* line = reinterpret_cast<uint32_t*>(image_.scanLine(y));
            for (int x = 0; x < image_.width(); ++x)
                if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
        }
    }
    update();
}

uint32_t PictureView::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= canvas_.width() || y >= canvas_.height()) return 0;
    const uint32_t rgb = canvas_.pixel(x, y) & 0xFFFFFF;
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

void PictureView::SetPickMode(bool on) { setCursor(on ? Qt::PointingHandCursor : Qt::CrossCursor); }

bool PictureView::PickMode() const { return cursor().shape() == Qt::PointingHandCursor; }

void PictureView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!image_.isNull()) p.drawImage(0, 0, image_);
}

void PictureView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    emit pointerMoved(pos.x(), pos.y());
}

void PictureView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    emit clicked(pos.x(), pos.y());
}

// --- UpDown ----------------------------------------------------------------

UpDown::UpDown(int min, int max, QWidget* parent) : QWidget(parent), min_(min), max_(max), position_(min) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Up = new QToolButton(this);
    Down = new QToolButton(this);
    Up->setArrowType(Qt::UpArrow);
    Down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {Up, Down}) {
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    connect(Up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(Down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::SetPosition(int v) { position_ = std::clamp(v, min_, max_); }

void UpDown::Step(int delta) {
    const int next = std::clamp(position_ + delta, min_, max_);
    if (next == position_) return;
    emit changing(next);
    position_ = next;
}

// --- ColourSwatch ----------------------------------------------------------

ColourSwatch::ColourSwatch(QWidget* parent) : QWidget(parent) { setFixedSize(40, 20); }

void ColourSwatch::SetColour(uint32_t bgr) {
    colour_ = bgr & 0xFFFFFF;
    update();
}

void ColourSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.setBrush(QColor(colour_ & 0xFF, (colour_ >> 8) & 0xFF, (colour_ >> 16) & 0xFF));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

// --- TfrFViewer ------------------------------------------------------------

namespace {

// Sizes are typed and committed with Enter; Enter must not reach a default
// button elsewhere.
class EnterFilter : public QObject {
public:
    EnterFilter(QObject* parent, std::function<void()> onEnter) : QObject(parent), onEnter_(std::move(onEnter)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                onEnter_();
                return true;
            }
        }
        return false;
    }

private:
    std::function<void()> onEnter_;
};

}  // namespace

void TfrFViewer::SetSizeColour(QLineEdit* edit, const QColor& colour) {
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Text, colour);
    edit->setPalette(pal);
}

TfrFViewer::TfrFViewer(QWidget* parent) : QGroupBox("Extended Firmware Viewer", parent) {
    setObjectName("gbFirmwareViewer");
    setMinimumWidth(300);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(4);

    CreateSwitches(layout);
    CreateFormatButtons(layout);
    CreatePreview(layout);

    auto* sizes = new QHBoxLayout;
    auto sizeEdit = [&](const char* label, const char* name, const char* udName, QLineEdit*& edit, UpDown*& ud,
                        bool width) {
        AddSizeEdit(this, sizes, label, name, udName, edit, ud);
        QLineEdit* e = edit;
        connect(e, &QLineEdit::textEdited, this, [e] { SetSizeColour(e, Qt::red); });
        e->installEventFilter(new EnterFilter(e, [this, e, width] { emit sizeEntered(width, e->text()); }));
        connect(ud, &UpDown::changing, this, [this, width](int v) { emit sizeStepping(width, v); });
    };
    sizeEdit("Width: ", "leImageWidth", "udImageWidth", leImageWidth, udImageWidth, true);
    sizeEdit("Height: ", "leImageHeight", "udImageHeight", leImageHeight, udImageHeight, false);
    sizes->addStretch();
    layout->addLayout(sizes);

    auto* transp = new QHBoxLayout;
    cbTransparent = new QCheckBox("Transparent Color: ", this);
    cbTransparent->setObjectName("cbTransparent");
    shTransparent = new ColourSwatch(this);
    shTransparent->setObjectName("shTransparent");
    transp->addWidget(cbTransparent);
    transp->addWidget(shTransparent);
    transp->addStretch();
    layout->addLayout(transp);

    connect(cbTransparent, &QCheckBox::clicked, this, &TfrFViewer::transparentClicked);
    connect(cbPlaySnd, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) emit playSoundsUnchecked();
    });
    connect(imViewer, &PictureView::pointerMoved, this, [this](int x, int y) {
        if (!imViewer->PickMode()) return;
        shTransparent->SetColour(imViewer->PixelAt(x, y));
        pickX_ = x;
        pickY_ = y;
    });
    connect(imViewer, &PictureView::clicked, this, [this](int, int) {
        if (imViewer->PickMode()) emit pickApplied();
    });
}

void TfrFViewer::CreateSwitches(QVBoxLayout* layout) {
    auto* switches = new QHBoxLayout;
    cbShowJava = new QCheckBox("Show Java files", this);
    cbShowJava->setObjectName("cbShowJava");
    cbShowJava->setEnabled(false);
    cbPlaySnd = new QCheckBox("Play Sounds", this);
    cbPlaySnd->setObjectName("cbPlaySnd");
    cbPlaySnd->setChecked(true);
    cbShowPic = new QCheckBox("Show Pictures", this);
    cbShowPic->setObjectName("cbShowPic");
    cbShowPic->setChecked(true);
    switches->addWidget(cbShowJava);
    switches->addWidget(cbPlaySnd);
    switches->addWidget(cbShowPic);
    switches->addStretch();
    layout->addLayout(switches);
}

void TfrFViewer::CreateFormatButtons(QVBoxLayout* layout) {
    auto* formats = new QGridLayout;
    formats->setVerticalSpacing(0);
    rbViewRaw8 = new QRadioButton("RAW-8 image", this);
    rbViewRaw16 = new QRadioButton("RAW-16 image", this);
    rbViewWbmp = new QRadioButton("WBMP image", this);
    rbView09 = new QRadioButton("09 - image", this);
    const char* names[] = {"rbViewRaw8", "rbViewRaw16", "rbViewWbmp", "rbView09"};
    QRadioButton* buttons[] = {rbViewRaw8, rbViewRaw16, rbViewWbmp, rbView09};
    for (int i = 0; i < 4; ++i) {
        QRadioButton* b = buttons[i];
        b->setObjectName(names[i]);
        // The format is the table's; the user sees it but does not choose it.
        b->setEnabled(false);
        formats->addWidget(b, i / 2, i % 2);
        const int tag = i + 1;
        connect(b, &QRadioButton::toggled, this, [this, tag](bool on) {
            if (on) emit formatChosen(tag);
        });
    }
    layout->addLayout(formats);
}

void TfrFViewer::CreatePreview(QVBoxLayout* layout) {
    auto* frame = new QFrame(this);
    frame->setObjectName("pImage");
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    imViewer = new PictureView(frame);
    imViewer->setObjectName("imViewer");
    imViewer->setToolTip("Picture preview");
    frameLayout->addWidget(imViewer);
    layout->addWidget(frame, 1);
    Picture blank(kCanvasSide, kCanvasSide);
    imViewer->SetCanvas(blank);
    lbSoundInfo = new QLabel(this);
    lbSoundInfo->setObjectName("lbSoundInfo");
    MarkTextAsData(lbSoundInfo);  // the selected sound's own description
    lbSoundInfo->setTextFormat(Qt::PlainText);
    lbSoundInfo->hide();
    layout->addWidget(lbSoundInfo);
}

void TfrFViewer::ShowKind(int kind) {
    QRadioButton* buttons[] = {rbViewRaw8, rbViewRaw16, rbViewWbmp, rbView09};
    if (kind >= 1 && kind <= 4) buttons[kind - 1]->setChecked(true);
}

void TfrFViewer::ShowSize(int width, int height) {
    leImageWidth->setText(QString::number(width));
    leImageHeight->setText(QString::number(height));
    udImageWidth->SetPosition(width);
    udImageHeight->SetPosition(height);
    SetSizeColour(leImageWidth, Qt::black);
    SetSizeColour(leImageHeight, Qt::black);
}

void TfrFViewer::SetTransparentBox(bool on) {
    const QSignalBlocker block(cbTransparent);
    cbTransparent->setChecked(on);
}

bool TfrFViewer::ShowPictures() const { return cbShowPic->isChecked(); }

bool TfrFViewer::PlaySounds() const { return cbPlaySnd->isChecked(); }

void TfrFViewer::EndSizeEdit(bool width, const std::optional<QString>& text) {
    QLineEdit* edit = width ? leImageWidth : leImageHeight;
    if (text) edit->setText(*text);
    SetSizeColour(edit, Qt::black);
}

void TfrFViewer::ShowSoundInfo(const QString& text) {
    lbSoundInfo->setText(text);
    lbSoundInfo->setVisible(!text.isEmpty());
}

}  // namespace flashsmith::shell
