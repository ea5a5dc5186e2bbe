// The "s3 Converter" page: both directions through its fields and buttons,
// the reserved region list, and what it tells about dropped lines.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "shell/ConverterPage.h"
#include "shell/ShellFixture.h"

namespace flashsmith::shell::test {
using namespace flashsmith::srecord;
namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class ConverterPage : public ShellTest {
protected:
    TfrConverter* page() { return window->frConverter; }
    void AddRegion(const QString& text) {
        page()->eReservedRegion->setText(text);
        page()->bRegAdd->click();
    }
    QStringList Items() {
        QStringList items;
        for (int i = 0; i < page()->lbReserved->count(); ++i) items << page()->lbReserved->item(i)->text();
        return items;
    }
};

TEST_F(ConverterPage, ABinaryGoesToS3AndBackWithItsReservedRegionLeftOut) {
    QByteArray bin(1000, '\0');
    for (int i = 0; i < bin.size(); ++i) bin[i] = char(i * 7 + 3);
    ASSERT_TRUE(WriteAll(Path("in.bin"), bin));

    // Listed in the standard form whatever the typing; an overlap is refused
    // and said why.
    AddRegion("0x100-0x1ff");
    AddRegion("0x00000180 - 0x00000200");
    AddRegion("0x300 - 0x2ff");
    AddRegion("0x300 - 0x30g");
    EXPECT_EQ(Items(), QStringList({"Reserved Memory Regions:", "0x00000100 - 0x000001FF"}));
    EXPECT_EQ(page()->lRegionCheck->text(),
              QString::fromStdString(RegionCheckText(RegionCheck::BadCharacter)));
    AddRegion("0x00000180 - 0x00000200");
    EXPECT_EQ(page()->lRegionCheck->text(), QString::fromStdString(RegionCheckText(RegionCheck::Overlaps)) +
                                                " (0x00000100 - 0x000001FF)");
    EXPECT_TRUE(prompts.Messages.empty());
    AddRegion("0x200 - 0x20F");
    EXPECT_TRUE(page()->lRegionCheck->text().isEmpty());
    // Replace keeps the selected region out of its own overlap test.
    page()->lbReserved->setCurrentRow(2);
    EXPECT_EQ(page()->eReservedRegion->text(), "0x00000200 - 0x0000020F");
    page()->eReservedRegion->setText("0x204 - 0x2ff");
    page()->bRegReplace->click();
    page()->lbReserved->setCurrentRow(0);
    EXPECT_TRUE(page()->eReservedRegion->text().isEmpty());
    page()->bRegDel->click();  // the heading is never removed
    ASSERT_EQ(page()->ReservedRegions().size(), 2u);
    EXPECT_EQ(page()->ReservedRegions()[1], (flashsmith::base::AddressRange::Inclusive(0x204, 0x2FF)));

    page()->leBinFile->setText(Path("in.bin"));
    prompts.Files.push_back(Path("out.s3"));
    page()->bBinConvert->click();
    EXPECT_EQ(prompts.Filters.back(), "Motorola S-record files|*.s3;*.sre;");
    const QByteArray s3 = ReadAll(Path("out.s3"));
    ASSERT_TRUE(s3.startsWith("S00600004844521B\r\n"));
    EXPECT_TRUE(s3.endsWith("S705A002000058\r\n"));
    EXPECT_TRUE(s3.contains("\r\nS30900000200"));  // the gap between the regions is kept
    EXPECT_FALSE(s3.contains("\r\nS31500000100"));
    EXPECT_FALSE(page()->pbStatus->isVisible());
    EXPECT_TRUE(page()->isEnabled());

    page()->leS3File->setText(Path("out.s3"));
    prompts.Files.push_back(Path("back.bin"));
    page()->BSaveBin->click();
    EXPECT_EQ(prompts.Filters.back(), "Firmware BIN files|*.bin");
    QByteArray expected = bin;
    expected.replace(0x100, 0x100, QByteArray(0x100, '\0'));
    expected.replace(0x204, 0xFC, QByteArray(0xFC, '\0'));
    EXPECT_EQ(ReadAll(Path("back.bin")), expected);
    EXPECT_TRUE(prompts.Messages.empty());

    // A part needs both ends written with "0x"; nothing is asked otherwise.
    page()->rbBinPart->setChecked(true);
    EXPECT_TRUE(page()->leBinEnd->isEnabled());
    page()->leBinStart->setText("junk");
    page()->leBinEnd->setText("384");
    const size_t asked = prompts.Filters.size();
    page()->bBinConvert->click();
    EXPECT_EQ(page()->leBinStart->text(), "0x00000000");
    EXPECT_EQ(prompts.Filters.size(), asked);
}

TEST_F(ConverterPage, DroppedLinesAreReportedUnlessErrorMessagesAreOff) {
    // Three contiguous lines, the middle one with a wrong checksum.
    const QByteArray text =
        "S00600004844521B\r\n"
        "S3090000100001020304DC\r\n"
        "S3090000100405060708C9\r\n"
        "S30900001008090A0B0CB4\r\n"
        "S705A002000058\r\n";
    ASSERT_TRUE(WriteAll(Path("bad.s3"), text));
    page()->leS3File->setText(Path("bad.s3"));
    page()->rbPart->setChecked(true);
    prompts.Files.push_back(Path("bad.bin"));
    page()->BSaveBin->click();
    // The line after the dropped one keeps its own address.
    EXPECT_EQ(ReadAll(Path("bad.bin")), QByteArray("\x01\x02\x03\x04\0\0\0\0\x09\x0A\x0B\x0C", 12));
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_TRUE(prompts.Messages[0].text.startsWith("1 S-record line(s) dropped"));
    EXPECT_EQ(prompts.Messages[0].caption, "Warning!");
    EXPECT_TRUE(page()->lResult->text().contains("1 S-record line(s) dropped"));

    page()->cbShowErrors->setChecked(true);
    page()->lResult->clear();
    prompts.Files.push_back(Path("bad2.bin"));
    page()->BSaveBin->click();
    EXPECT_EQ(prompts.Messages.size(), 1u);
    EXPECT_TRUE(page()->lResult->text().contains("1 S-record line(s) dropped"));
}

TEST_F(ConverterPage, ADroppedFirstLineKeepsItsRoomAndAFileWithoutDataWritesNothing) {
    // The first line of the run carries a wrong checksum.
    ASSERT_TRUE(WriteAll(Path("first.s3"),
                         "S3090000100001020304DD\r\n"
                         "S3090000100405060708C8\r\n"));
    page()->leS3File->setText(Path("first.s3"));
    page()->rbPart->setChecked(true);
    page()->cbShowErrors->setChecked(true);
    prompts.Files.push_back(Path("first.bin"));
    page()->BSaveBin->click();
    EXPECT_EQ(ReadAll(Path("first.bin")), QByteArray("\0\0\0\0\x05\x06\x07\x08", 8));

    ASSERT_TRUE(WriteAll(Path("none.s3"), "S00600004844521B\r\nS705A002000058\r\n"));
    page()->leS3File->setText(Path("none.s3"));
    prompts.Files.push_back(Path("none.bin"));
    page()->BSaveBin->click();
    EXPECT_FALSE(QFile::exists(Path("none.bin")));
    EXPECT_EQ(page()->lResult->text(), "Nothing written: no S-record data in " + Path("none.s3"));
}

TEST_F(ConverterPage, TheImageOpenInTheEditorIsNeverAnOutput) {
    ASSERT_TRUE(WriteAll(Path("in.bin"), QByteArray(64, 'x')));
    page()->leBinFile->setText(Path("in.bin"));
    prompts.Files.push_back(Path("in.s3"));
    page()->bBinConvert->click();
    page()->leS3File->setText(Path("in.s3"));
    Open();
    const QByteArray image = ReadAll(Image());
    page()->ConvertS3ToBin(Image());
    EXPECT_EQ(ReadAll(Image()), image);
    EXPECT_EQ(page()->lResult->text(), "Nothing written: " + Image() + " is the open firmware image");
    // Another output is written as usual.
    page()->ConvertS3ToBin(Path("out.bin"));
    EXPECT_EQ(ReadAll(Path("out.bin")), QByteArray(64, 'x'));
}

}  // namespace
}  // namespace flashsmith::shell::test
