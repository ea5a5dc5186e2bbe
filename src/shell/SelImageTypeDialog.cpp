#include "shell/SelImageTypeDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "firmware/Images.h"

#include "profilecreator/ProfileCreator.h"
#include "shell/FirmwareViewer.h"
#include "shell/LanguagePack.h"
#include "shell/QtText.h"
#include "shell/UserPrompts.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;
using namespace flashsmith::profilecreator;

TfSelImageType::TfSelImageType(UserPrompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
    setObjectName("fSelImageType");
    setWindowTitle("Select Type of Images");
    // No title-bar buttons: only OK with a picked colour closes the dialog.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    CreateImageList();

    auto* pImage = new QFrame(this);
    pImage->setObjectName("pImage");
    pImage->setFrameShape(QFrame::Panel);
    pImage->setFrameShadow(QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(pImage);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    imViewer = new PictureView(pImage);
    imViewer->setObjectName("imViewer");
    imViewer->setFixedSize(kPreviewSide, kPreviewSide);
    frameLayout->addWidget(imViewer);

    auto* formats = CreateFormatButtons();
    auto* sizes = CreateSizeEdits();
    auto* idRow = CreateImageIdRow();
    auto* transp = CreateTransparentRow();

    bOk = new QPushButton("OK", this);
    bOk->setObjectName("bOk");
    bOk->setAutoDefault(false);

    auto* right = new QVBoxLayout;
    right->addLayout(formats);
    right->addWidget(pImage, 0, Qt::AlignLeft);
    right->addLayout(sizes);
    right->addLayout(idRow);
    right->addLayout(transp);
    right->addStretch(1);
    right->addWidget(bOk, 0, Qt::AlignRight);

    auto* body = new QHBoxLayout;
    body->addWidget(lvImages, 1);
    body->addLayout(right);

    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName("StatusBar");
    statusBar->setSizeGripEnabled(false);
    StatusPanel = new QLabel(statusBar);
    StatusPanel->setObjectName("StatusPanel");
    MarkTextAsData(StatusPanel);  // a status text the program writes
    StatusPanel->setMinimumWidth(50);
    statusBar->addWidget(StatusPanel, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(statusBar);

    connect(lvImages, &QTableWidget::itemSelectionChanged, this, &TfSelImageType::lvImagesSelectItem);
    connect(bSelectTransp, &QPushButton::clicked, this, &TfSelImageType::bSelectTranspClick);
    connect(imViewer, &PictureView::pointerMoved, this, &TfSelImageType::imViewerMouseMove);
    connect(imViewer, &PictureView::clicked, this, [this](int x, int y) {
        imViewerMouseMove(x, y);  // the click's own pixel, even without a move before it
        imViewerClick();
    });
    connect(bOk, &QPushButton::clicked, this, &TfSelImageType::bOkClick);
}

void TfSelImageType::CreateImageList() {
    lvImages = new QTableWidget(0, 4, this);
    lvImages->setObjectName("lvImages");
    lvImages->setHorizontalHeaderLabels({"Name", "Type", "Dimension", "Image ID"});
    // At least wide enough for the heading and a large size in this font.
    const int dimension = lvImages->fontMetrics().horizontalAdvance("Dimension") + 16;
    const int widths[] = {80, 60, std::max(66, dimension), 130};
    for (int i = 0; i < 4; ++i) lvImages->setColumnWidth(i, widths[i]);
    lvImages->verticalHeader()->hide();
    lvImages->verticalHeader()->setDefaultSectionSize(lvImages->fontMetrics().height() + 4);
    lvImages->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvImages->setSelectionMode(QAbstractItemView::SingleSelection);
    lvImages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvImages->setShowGrid(true);
    lvImages->setSortingEnabled(false);
    lvImages->setMinimumWidth(widths[0] + widths[1] + widths[2] + widths[3] + 24);
}

QGridLayout* TfSelImageType::CreateFormatButtons() {
    rbViewRaw8 = new QRadioButton("RAW-8 image", this);
    rbViewRaw16 = new QRadioButton("RAW-16 image", this);
    rbViewWbmp = new QRadioButton("WBMP image", this);
    rbView09 = new QRadioButton("09 - image", this);
    QRadioButton* buttons[] = {rbViewRaw8, rbViewRaw16, rbViewWbmp, rbView09};
    const char* names[] = {"rbViewRaw8", "rbViewRaw16", "rbViewWbmp", "rbView09"};
    auto* formats = new QGridLayout;
    formats->setVerticalSpacing(0);
    for (int i = 0; i < 4; ++i) {
        formats_[i] = buttons[i];
        buttons[i]->setObjectName(names[i]);
        formats->addWidget(buttons[i], i / 2, i % 2);
        const int tag = i + 1;
        // A click, not a toggle: checking the entry's own format on a new
        // selection must not count as a change.
        connect(buttons[i], &QRadioButton::clicked, this, [this, tag] { FormatClick(tag); });
    }
    return formats;
}

QHBoxLayout* TfSelImageType::CreateSizeEdits() {
    auto* sizes = new QHBoxLayout;
    auto sizeEdit = [&](const char* label, const char* name, const char* udName, QLineEdit*& edit, UpDown*& ud,
                        bool width) {
        AddSizeEdit(this, sizes, label, name, udName, edit, ud);
        QLineEdit* e = edit;
        connect(ud, &UpDown::changing, this, [e](int v) { e->setText(QString::number(v)); });
        connect(e, &QLineEdit::textChanged, this, [this, width] { ImageSizeChange(width); });
    };
    sizeEdit("Width: ", "leImageWidth", "udImageWidth", leImageWidth, udImageWidth, true);
    sizeEdit("Height: ", "leImageHeight", "udImageHeight", leImageHeight, udImageHeight, false);
    sizes->addStretch();
    return sizes;
}

QHBoxLayout* TfSelImageType::CreateImageIdRow() {
    auto* idRow = new QHBoxLayout;
    auto* lImageID = new QLabel("Image ID: ", this);
    cbImageID = new QComboBox(this);
    cbImageID->setObjectName("cbImageID");
    cbImageID->setMaxVisibleItems(16);
    cbImageID->setMinimumWidth(180);
    lImageID->setBuddy(cbImageID);
    idRow->addWidget(lImageID);
    idRow->addWidget(cbImageID, 1);
    connect(cbImageID, &QComboBox::activated, this, [this] { cbImageIDSelect(); });
    return idRow;
}

QHBoxLayout* TfSelImageType::CreateTransparentRow() {
    auto* transp = new QHBoxLayout;
    auto* lTranspColor = new QLabel("Transparent color: ", this);
    lTranspColor->setObjectName("lTranspColor");
    Shape1 = new ColourSwatch(this);
    Shape1->setObjectName("Shape1");
    bSelectTransp = new QPushButton("Select", this);
    bSelectTransp->setObjectName("bSelectTransp");
    transp->addWidget(lTranspColor);
    transp->addWidget(Shape1);
    transp->addWidget(bSelectTransp);
    transp->addStretch();
    return transp;
}

// --- list ---------------------------------------------------------------------

void TfSelImageType::Fill(const BinFile& file, std::vector<tImgType>& images,
                          const std::vector<tResourceIDType>& idNames) {
    file_ = &file;
    images_ = &images;
    idNames_ = &idNames;
    const QSignalBlocker block(lvImages);
    lvImages->clearContents();
    lvImages->setRowCount(static_cast<int>(images.size()));
    for (int row = 0; row < lvImages->rowCount(); ++row) {
        for (int c = 0; c < 4; ++c) lvImages->setItem(row, c, new QTableWidgetItem);
        lvImages->item(row, 0)->setText(Q(MakeFoundImageRow(images, static_cast<size_t>(row), idNames).Name));
        SetRowTexts(row);
    }
}

void TfSelImageType::Empty() {
    const QSignalBlocker block(lvImages);
    lvImages->clearContents();
    lvImages->setRowCount(0);
    file_ = nullptr;
    images_ = nullptr;
    idNames_ = nullptr;
}

void TfSelImageType::SetRowTexts(int row) {
    if (!images_ || !idNames_) return;
    const FoundImageRow r = MakeFoundImageRow(*images_, static_cast<size_t>(row), *idNames_);
    lvImages->item(row, 1)->setText(Q(r.Type));
    lvImages->item(row, 2)->setText(Q(r.Dimension));
    lvImages->item(row, 3)->setText(Q(r.Id));
}

int TfSelImageType::SelectedRow() const {
    const QList<QTableWidgetItem*> items = lvImages->selectedItems();
    if (items.isEmpty()) return -1;
    const int row = items.first()->row();
    QTableWidgetItem* name = lvImages->item(row, 0);
    if (!name || name->text().isEmpty() || !images_ || row >= static_cast<int>(images_->size())) return -1;
    return row;
}

tImgType* TfSelImageType::Selected() {
    const int row = SelectedRow();
    return row < 0 ? nullptr : &(*images_)[static_cast<size_t>(row)];
}

// --- showing ------------------------------------------------------------------

void TfSelImageType::ShowDialog() {
    done_ = false;
    imViewer->SetPickMode(false);
    imViewer->SetTransparent(false, 0);
    Picture blank(kPreviewSide, kPreviewSide);
    ClearPicture(blank);
    imViewer->SetCanvas(blank);
    cbImageID->clear();
    cbImageID->addItem("0:Unknown");
    if (idNames_)
        for (size_t n = 0; n < idNames_->size(); ++n)
            if (!(*idNames_)[n].Name.empty()) cbImageID->addItem(QString::number(n) + ":" + Q((*idNames_)[n].Name));
    cbImageID->setCurrentIndex(0);
    lvImages->clearSelection();
    lvImages->setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
    StatusPanel->clear();
}

void TfSelImageType::Execute() {
    ShowDialog();
    if (QWidget* p = parentWidget()) {
        adjustSize();
        move(p->window()->frameGeometry().center() - rect().center());
    }
    exec();
}

// --- refresh ------------------------------------------------------------------

void TfSelImageType::Redraw(tImgType& e) {
    // Large enough for the picture itself, so that its size is counted even
    // where the preview cannot show all of it.
    Picture canvas(std::max(kPreviewSide, e.Width), std::max(kPreviewSide, e.Height));
    ClearPicture(canvas);
    e.Size = file_ ? DecodePicture(e.Kind, *file_, e.Address, e.Width, e.Height, canvas) : 0;
    imViewer->SetCanvas(canvas);
}

void TfSelImageType::RefreshAfterSelection() {
    tImgType* e = Selected();
    if (!e) return;
    filling_ = true;
    if (e->Kind >= 1 && e->Kind <= 4) {
        formats_[e->Kind - 1]->setChecked(true);
    } else {
        // No format yet: no button checked.
        for (QRadioButton* b : formats_) b->setAutoExclusive(false), b->setChecked(false), b->setAutoExclusive(true);
    }
    leImageWidth->setText(QString::number(e->Width));
    leImageHeight->setText(QString::number(e->Height));
    udImageWidth->SetPosition(e->Width);
    udImageHeight->SetPosition(e->Height);
    const QString number = QString::number(int64_t(e->ID) + 1) + ":";
    int item = 0;
    for (int i = 1; i < cbImageID->count(); ++i)
        if (cbImageID->itemText(i).startsWith(number)) {
            item = i;
            break;
        }
    cbImageID->setCurrentIndex(item);
    filling_ = false;
    StatusPanel->setText(QString("Size= %1 | Dimension= %2 x %3 | Type= %4")
                             .arg(e->Size)
                             .arg(e->Width)
                             .arg(e->Height)
                             .arg(KindName(e->Kind)));
    Redraw(*e);
}

void TfSelImageType::RefreshAfterChange() {
    tImgType* e = Selected();
    if (!e) return;
    SetRowTexts(SelectedRow());
    Redraw(*e);
}

// --- commands -----------------------------------------------------------------

void TfSelImageType::lvImagesSelectItem() {
    imViewer->SetPickMode(false);
    RefreshAfterSelection();
}

void TfSelImageType::FormatClick(int tag) {
    if (filling_) return;
    tImgType* e = Selected();
    if (!e) return;
    e->Kind = tag;
    RefreshAfterChange();
}

void TfSelImageType::ImageSizeChange(bool width) {
    if (filling_) return;
    QLineEdit* edit = width ? leImageWidth : leImageHeight;
    QString digits;
    for (QChar c : edit->text())
        if (c >= '0' && c <= '9') digits += c;
    if (digits != edit->text()) {
        const QSignalBlocker block(edit);
        edit->setText(digits);
    }
    const int value = digits.isEmpty() ? 1 : digits.toInt();
    (width ? udImageWidth : udImageHeight)->SetPosition(value);
    tImgType* e = Selected();
    if (!e) return;
    (width ? e->Width : e->Height) = value;
    RefreshAfterChange();
}

void TfSelImageType::cbImageIDSelect() {
    tImgType* e = Selected();
    if (!e) return;
    const QString text = cbImageID->currentText();
    e->ID = text.left(text.indexOf(':')).toInt() - 1;
    RefreshAfterChange();
}

void TfSelImageType::bSelectTranspClick() {
    const int row = SelectedRow();
    if (row >= 0 && lvImages->currentRow() == row) imViewer->SetPickMode(true);
}

void TfSelImageType::imViewerMouseMove(int x, int y) {
    if (imViewer->PickMode()) Shape1->SetColour(imViewer->PixelAt(x, y));
}

void TfSelImageType::imViewerClick() {
    if (!imViewer->PickMode()) return;
    imViewer->SetPickMode(false);
    const uint32_t colour = Shape1->Colour();
    imViewer->SetTransparent(true, colour);
    if (TransparentPicked) TransparentPicked(colour);
}

void TfSelImageType::bOkClick() {
    if (!imViewer->TransparentOn()) {
        prompts_.Message(this, "Please Set the Transparent Color!", "Error!");
        return;
    }
    done_ = true;
    accept();
}

void TfSelImageType::reject() {
    if (done_) QDialog::reject();
}

void TfSelImageType::closeEvent(QCloseEvent* event) {
    if (done_)
        event->accept();
    else
        event->ignore();
}

}  // namespace flashsmith::shell
