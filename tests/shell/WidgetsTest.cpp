// The viewer's size and transparency commands, the profile chooser, the
// check-box tree, the COM port mapping and the About box.
#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableView>
#include <QtTest/QTest>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "firmware/Images.h"
#include "firmware/PictureFile.h"
#include "shell/AboutBox.h"
#include "shell/CBTreeView.h"
#include "shell/ComPorts.h"
#include "shell/FileManPane.h"
#include "shell/FirmwareViewer.h"
#include "shell/PhoneFileManView.h"
#include "shell/ResourceModel.h"
#include "shell/SelProfile.h"
#include "shell/ShellFixture.h"

namespace flashsmith::shell::test {
using namespace flashsmith::firmware;
namespace {

void TypeSize(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

int FirstOfKind(const FirmwareState& fw, int kind) {
    for (size_t i = 0; i < fw.Firmware.Images.size(); ++i)
        if (fw.Firmware.Images[i].Kind == kind && fw.Firmware.Images[i].Link < 0) return int(i);
    return -1;
}

TEST_F(ShellTest, TypedSizesAreCleanedAndStoredOnlyWithinRange) {
    Open();
    window->Editor().SelectNode("Images");
    const int row = FirstOfKind(state.Fw, kRaw16);
    window->Editor().SelectRow(row);
    QLineEdit* width = window->Editor().frFwViewer->leImageWidth;
    QTest::keyClicks(width, "9");
    EXPECT_EQ(width->palette().color(QPalette::Text), QColor(Qt::red));
    TypeSize(width, "1a2");
    EXPECT_EQ(state.Fw.Firmware.Images[static_cast<size_t>(row)].Width, 12);
    EXPECT_EQ(width->text(), "12");
    EXPECT_EQ(width->palette().color(QPalette::Text), QColor(Qt::black));
    TypeSize(width, "400");
    EXPECT_EQ(state.Fw.Firmware.Images[static_cast<size_t>(row)].Width, 12);
    EXPECT_EQ(width->text(), "400");
    EXPECT_EQ(width->palette().color(QPalette::Text), QColor(Qt::black));
    TypeSize(window->Editor().frFwViewer->leImageHeight, "0");
    EXPECT_NE(state.Fw.Firmware.Images[static_cast<size_t>(row)].Height, 0);
}

TEST_F(ShellTest, SteppingAReplacedPictureChangesItsFileNotTheEntry) {
    Open();
    window->Editor().SelectNode("Images");
    window->Editor().SelectRow(0);
    Picture p(30, 20, 0x00FF00FF);
    ASSERT_TRUE(SaveBmp32(Path("p.bmp").toStdString(), p));
    prompts.Files.push_back(Path("p.bmp"));
    window->Editor().aReplaceFileExecute();
    const tImgType& e = state.Fw.Firmware.Images[0];
    ASSERT_FALSE(e.TempName.empty());
    const int32_t width = e.Width;
    window->Editor().frFwViewer->udImageWidth->Step(1);
    QFile f(QString::fromStdString(state.Fw.TempDir + e.TempName));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(4);
    EXPECT_EQ(static_cast<uint8_t>(head[0]) | static_cast<uint8_t>(head[1]) << 8, 31);
    EXPECT_EQ(e.Width, width);
    EXPECT_EQ(window->Editor().frFwViewer->leImageWidth->text(), "31");
}

TEST_F(ShellTest, APickedColourBecomesTransparentOnReplacedNinePictures) {
    Open();
    window->show();
    window->Editor().SelectNode("Images");
    TfrFViewer* v = window->Editor().frFwViewer;
    // A RAW16 picture cannot get a transparent colour: the box unchecks.
    window->Editor().SelectRow(FirstOfKind(state.Fw, kRaw16));
    v->cbTransparent->click();
    EXPECT_FALSE(v->cbTransparent->isChecked());
    EXPECT_FALSE(v->imViewer->PickMode());

    window->Editor().SelectRow(0);
    Picture p(16, 16, 0x00FF0000);
    p.At(3, 3) = 0x000000FF;
    ASSERT_TRUE(SaveBmp32(Path("t.bmp").toStdString(), p));
    prompts.Files.push_back(Path("t.bmp"));
    window->Editor().aReplaceFileExecute();
    v->cbTransparent->click();
    ASSERT_TRUE(v->imViewer->PickMode());
    EXPECT_EQ(v->imViewer->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(v->imViewer, QPoint(3, 3));
    const uint32_t picked = v->shTransparent->Colour();
    EXPECT_EQ(picked, v->imViewer->PixelAt(3, 3));
    QTest::mouseClick(v->imViewer, Qt::LeftButton, {}, QPoint(3, 3));
    const tImgType& e = state.Fw.Firmware.Images[0];
    EXPECT_TRUE(e.HasTransp);
    EXPECT_EQ(static_cast<uint32_t>(e.TranspColor), picked);
    EXPECT_FALSE(v->imViewer->PickMode());
    EXPECT_TRUE(v->cbTransparent->isChecked());
    EXPECT_TRUE(v->imViewer->TransparentOn());
    // The picked pixel is now drawn see-through.
    EXPECT_EQ(qAlpha(v->imViewer->Image().pixel(3, 3)), 0);
    EXPECT_EQ(qAlpha(v->imViewer->Image().pixel(4, 4)), 255);

    v->cbTransparent->click();  // undo
    EXPECT_FALSE(e.HasTransp);
    EXPECT_FALSE(v->imViewer->TransparentOn());
}

TEST(ProfileChooser, ShowsFileNamesAndReturnsTheChosenIndex) {
    TfSelProfile dialog;
    QTimer::singleShot(0, [&] {
        ASSERT_EQ(dialog.lbSelProfile->count(), 3);
        EXPECT_EQ(dialog.lbSelProfile->item(1)->text(), "V_b.sdf");
        // "Select" without a selection keeps the dialog open.
        dialog.bSelect->click();
        EXPECT_TRUE(dialog.isVisible());
        QListWidget* list = dialog.lbSelProfile;
        const QRect r = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    });
    EXPECT_EQ(dialog.Choose({"/a/V.sdf", "/b/V_b.sdf", "V_c.sdf"}), 1);
    EXPECT_EQ(dialog.Tag(), 1);
    EXPECT_FALSE(dialog.isVisible());

    QTimer::singleShot(0, [&] { dialog.reject(); });
    EXPECT_EQ(dialog.Choose({"x.sdf", "y.sdf"}), -1);
}

TEST(CheckBoxTree, CheckingAParentChecksItsBoxedDescendants) {
    TCBTreeView tree;
    tree.SetCheckToChilds = true;
    auto* root = new QTreeWidgetItem(&tree, {"patch"});
    auto* plain = new QTreeWidgetItem(root, {"info"});  // no box
    auto* deep = new QTreeWidgetItem(plain, {"deep"});
    auto* leaf = new QTreeWidgetItem(root, {"leaf"});
    TCBTreeView::SetStateIndex(root, 1);
    TCBTreeView::SetStateIndex(deep, 1);
    TCBTreeView::SetStateIndex(leaf, 1);
    EXPECT_EQ(TCBTreeView::StateIndex(plain), 0);

    tree.ToggleState(root);
    EXPECT_TRUE(TCBTreeView::Checked(root));
    EXPECT_TRUE(TCBTreeView::Checked(leaf));
    EXPECT_TRUE(TCBTreeView::Checked(deep));  // reached through a boxless node
    EXPECT_EQ(TCBTreeView::StateIndex(plain), 0);
    tree.ToggleState(root);
    EXPECT_EQ(TCBTreeView::StateIndex(leaf), 1);
    EXPECT_EQ(TCBTreeView::StateIndex(deep), 1);
    tree.ToggleState(plain);  // no box, nothing to toggle
    EXPECT_EQ(TCBTreeView::StateIndex(plain), 0);

    // Without SetCheckToChilds a box is on its own.
    tree.SetCheckToChilds = false;
    tree.ToggleState(root);
    EXPECT_EQ(TCBTreeView::StateIndex(leaf), 1);

    // A click on the box itself goes the same way.
    tree.SetCheckToChilds = true;
    tree.expandAll();
    tree.resize(200, 200);
    tree.show();
    QStyleOptionViewItem option;
    option.initFrom(tree.viewport());
    option.rect = tree.visualItemRect(leaf);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = leaf->text(0);
    const QRect box = tree.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &tree);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_TRUE(TCBTreeView::Checked(leaf));

    tree.SetSortType(TCBTreeView::SortKind::Text);
    EXPECT_EQ(root->child(0)->text(0), "info");
    EXPECT_EQ(root->child(1)->text(0), "leaf");
}

TEST(ComPorts, NumbersMapToStableDevicesAndAttachedPathsCount) {
    EXPECT_EQ(ComPortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(ComPortDevice(32), "/dev/ttyS31");
    EXPECT_EQ(ComPortDevice(33), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortDevice(49), "/dev/ttyACM0");
    EXPECT_EQ(ComPortDevice(64), "/dev/ttyACM15");
    EXPECT_EQ(ComPortDevice(0), "");
    EXPECT_EQ(ComPortDevice(65), "");

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string pty = ::ptsname(master);
    ::setenv("FLASHSMITH_COMPORTS", ("COM7=" + pty + ";COM8=/nonexistent/tty").c_str(), 1);
    EXPECT_EQ(ComPortDevice(7), pty);
    EXPECT_TRUE(ComPortPresent(7));
    EXPECT_FALSE(ComPortPresent(8));
    const std::vector<int> ports = ListComPorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), 7), ports.end());
    EXPECT_EQ(std::find(ports.begin(), ports.end(), 8), ports.end());
    ::unsetenv("FLASHSMITH_COMPORTS");
    ::close(master);
    EXPECT_EQ(ComPortDevice(7), "/dev/ttyS6");
}

TEST(AboutBox, LinksOpenAndTheBoxDragsAlong) {
    TAboutBox box;
    std::vector<QString> opened;
    box.OpenLink = [&](const QString& url) { opened.push_back(url); };
    box.show();
    QTest::mouseClick(box.Label2, Qt::LeftButton);
    QTest::mouseClick(box.Label3, Qt::LeftButton);
    QTest::mouseClick(box.Label4, Qt::LeftButton);  // no link of its own
    EXPECT_EQ(opened, (std::vector<QString>{TAboutBox::kHomePage, TAboutBox::kMail}));
    EXPECT_TRUE(box.Version->text().startsWith("Version "));
    EXPECT_LE(box.Memo1->toPlainText().size(), 1024);

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(box.Label2, &enter);
    EXPECT_EQ(box.Label2->palette().color(QPalette::WindowText), QColor(Qt::red));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(box.Label2, &leave);
    EXPECT_EQ(box.Label2->palette().color(QPalette::WindowText), QColor(Qt::magenta));

    const QPoint start = box.pos();
    const QPoint g = box.Version->mapToGlobal(QPoint(2, 2));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), g, Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(box.Version, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(12, 7), g + QPoint(10, 5), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(box.Version, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(12, 7), g + QPoint(10, 5), Qt::LeftButton, {}, {});
    QCoreApplication::sendEvent(box.Version, &release);
    EXPECT_EQ(box.pos(), start + QPoint(10, 5));
}

// The three lists that switch between a table and an icon view from their
// pop-up menus: the editor's entries, the phone's files, the local files.
struct StyledList {
    const char* name;
    QMenu* (*menu)(TfMain&);
    QAbstractItemView* (*table)(TfMain&);
    QListView* (*icons)(TfMain&);
    QSize iconGrid;
};

class ListStyles : public ShellTest, public ::testing::WithParamInterface<StyledList> {
protected:
    void Choose(int tag) {
        for (QAction* a : GetParam().menu(*window)->actions())
            if (a->data().toInt() == tag) return a->trigger();
        FAIL() << "no style item " << tag;
    }
    QWidget* Shown() {
        return qobject_cast<QStackedWidget*>(GetParam().icons(*window)->parentWidget())->currentWidget();
    }
};

TEST_P(ListStyles, EachMenuItemShowsItsStyleAndTableBringsTheTableBack) {
    QListView* icons = GetParam().icons(*window);
    EXPECT_EQ(Shown(), GetParam().table(*window));
    Choose(2);
    EXPECT_EQ(Shown(), icons);
    EXPECT_EQ(icons->viewMode(), QListView::IconMode);
    EXPECT_EQ(icons->iconSize(), QSize(32, 32));
    EXPECT_EQ(icons->gridSize(), GetParam().iconGrid);
    // Small icons run across and leave no grid of the icon style behind.
    Choose(1);
    EXPECT_EQ(icons->viewMode(), QListView::ListMode);
    EXPECT_EQ(icons->flow(), QListView::LeftToRight);
    EXPECT_EQ(icons->gridSize(), QSize());
    EXPECT_EQ(icons->iconSize(), QSize(16, 16));
    Choose(3);
    EXPECT_EQ(icons->flow(), QListView::TopToBottom);
    EXPECT_EQ(icons->movement(), QListView::Static);
    EXPECT_EQ(Shown(), icons);
    Choose(4);
    EXPECT_EQ(Shown(), GetParam().table(*window));
}

INSTANTIATE_TEST_SUITE_P(
    ShellLists, ListStyles,
    ::testing::Values(
        StyledList{"Editor", [](TfMain& w) { return w.Editor().pmFVEditSrc; },
                   [](TfMain& w) -> QAbstractItemView* { return w.Editor().lvFirmwareFiles; },
                   [](TfMain& w) { return w.Editor().lvFirmwareIcons; }, {96, 56}},
        StyledList{"Phone", [](TfMain& w) { return w.frPhoneFileMan->pmFileManlv; },
                   [](TfMain& w) -> QAbstractItemView* { return w.frPhoneFileMan->lvPhoneFiles; },
                   [](TfMain& w) { return w.frPhoneFileMan->lvPhoneIcons; }, {80, 64}},
        StyledList{"LocalFiles", [](TfMain& w) { return w.Editor().frEditor->pmFileMan; },
                   [](TfMain& w) -> QAbstractItemView* { return w.Editor().frEditor->ShellListView; },
                   [](TfMain& w) { return w.Editor().frEditor->ShellListIcons; }, {80, 64}}),
    [](const ::testing::TestParamInfo<StyledList>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flashsmith::shell::test
