// "Mirel.ini" across restarts, the Language menu and its packs.
#include <QAbstractButton>
#include <QActionGroup>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include "support/FileSizeLimit.h"
#include "shell/AboutBox.h"
#include "shell/ResourceModel.h"
#include "shell/ConverterPage.h"
#include "shell/SavePatchDialog.h"
#include "shell/SelImageTypeDialog.h"
#include "shell/Settings.h"
#include "shell/ShellFixture.h"
#include "xml/GmXml.h"

namespace flashsmith::shell::test {
using namespace flashsmith::firmware;
using namespace flashsmith::xml;
namespace {

class Settings : public ShellTest {
protected:
    QString Ini() { return Path("prog/Mirel.ini"); }
    // Closes the window and starts a fresh one on the same program folder.
    void Restart() {
        EXPECT_TRUE(window->close());
        window.reset();
        state.Conn = {};
        state.Fw.ImageIdNames.clear();
        prompts.Modals.clear();
        window = std::make_unique<TfMain>(state, prompts);
        window->show();
    }
    QAction* Item(const char* name) { return window->findChild<QAction*>(name); }
    void Write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void Load(TGmXML& doc) { ASSERT_TRUE(doc.LoadFile(Ini().toStdString())); }
    std::string StoredLanguage() {
        TGmXML doc;
        Load(doc);
        return doc.Nodes().NodeByName("Options")->Children().NodeByName("Language")->Value();
    }
    // The Options child of that name with its "val".
    std::string Val(TGmXML& doc, const char* name) {
        TGmXmlNode* n = doc.Nodes().NodeByName("Options")->Children().NodeByName(name);
        if (!n || !n->Attributes().AttributeByName("val")) return "(none)";
        return n->Attributes().AttributeByName("val")->Value();
    }
};

TEST(SettingsText, WindowStateRegionsAndImageIdNames) {
    auto g = ParseWindowState("900;700;10;20");
    ASSERT_TRUE(g);
    EXPECT_EQ(std::tie(g->Width, g->Height, g->Left, g->Top), std::make_tuple(900, 700, 10, 20));
    g = ParseWindowState("a;;x;");
    ASSERT_TRUE(g);
    EXPECT_EQ(std::tie(g->Width, g->Height, g->Left, g->Top), std::make_tuple(780, 560, 1, 1));
    EXPECT_FALSE(ParseWindowState("900"));
    EXPECT_EQ(FormatWindowState({900, 700, -5, 20}), "900;700;-5;20");

    EXPECT_EQ(SplitRegionTexts("a;b;rest"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(SplitRegionTexts("").empty());

    TGmXML doc;
    doc.SetText("<imageID><id val=\"3\" name=\"  \"/><id val=\"0\" name=\"zero\"/><ID val=\"12\" name=\" Logo \"/>"
                "<id val=\"5\"/><id val=\"x\" name=\"bad\"/><id val=\"12\" name=\"Splash\"/></imageID>");
    const auto names = ReadImageIdNames(doc.Nodes().NodeByName("imageID"));
    ASSERT_EQ(names.size(), 13u);
    EXPECT_EQ(names[12].Name, "Splash");
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(names[i].Name, "") << i;
    EXPECT_EQ(ReadImageIdNames(nullptr).size(), 1u);
}

TEST_F(Settings, MenusRegionsAndGeometrySurviveARestartAndUnknownElementsStay) {
    window->show();
    // First start: the About box once, and the file exists at once.
    EXPECT_EQ(prompts.Modals, std::vector<QString>{"AboutBox"});
    {
        TGmXML doc;
        Load(doc);
        ASSERT_NE(doc.Nodes().NodeByName("Options"), nullptr);
        EXPECT_EQ(doc.Nodes().NodeByName("Options")->Attributes().AttributeByName("installed")->Value(), "1");
    }
    window->BuildComPortMenu({2, 5});
    Item("MIcom5")->trigger();
    Item("MI1000ms")->trigger();
    Item("MI230400")->trigger();
    Item("miAutoRefresh")->setChecked(true);
    window->frConverter->AppendRegionText("0x100-0x1ff");
    window->frConverter->AppendRegionText("0x300-0x3ff");
    window->resize(900, 700);
    window->move(10, 20);
    EXPECT_TRUE(window->close());
    {
        TGmXML doc;
        Load(doc);
        EXPECT_EQ(Val(doc, "miPhoneCOMport"), "MIcom5");
        EXPECT_EQ(Val(doc, "miPhoneTimeOut"), "MI1000ms");
        EXPECT_EQ(Val(doc, "miSaveImagesAsJpeg"), "0");
        // No library chosen: the built-in player, the first start's choice.
        EXPECT_EQ(Val(doc, "miPlaySoundsWith"), "miBuiltIn");
        TGmXmlNode* options = doc.Nodes().NodeByName("Options");
        EXPECT_EQ(options->Children().NodeByName("ReservedRegions")->Value(),
                  "0x00000100 - 0x000001FF;0x00000300 - 0x000003FF;");
        // Someone else's element and a hand-written region beyond the last ";".
        options->Children().Add("Extra val=\"kept\"");
        options->Children().NodeByName("ReservedRegions")->SetValue(
            options->Children().NodeByName("ReservedRegions")->Value() + "0x500-0x5ff");
        ASSERT_TRUE(doc.SaveFile(Ini().toStdString()));
    }

    // The port list is built from the machine's ports; offer port 5 again
    // before the settings are read.
    window.reset();
    state.Conn = {};
    prompts.Modals.clear();
    window = std::make_unique<TfMain>(state, prompts);
    window->BuildComPortMenu({2, 5});
    window->show();
    EXPECT_TRUE(prompts.Modals.empty());
    EXPECT_EQ(state.Conn.ComPortNumber, 5);
    EXPECT_TRUE(Item("MIcom5")->isChecked());
    EXPECT_EQ(state.Conn.TimeOut, 1000);
    EXPECT_TRUE(Item("MI1000ms")->isChecked());
    EXPECT_FALSE(Item("MI2500ms")->isChecked());
    EXPECT_EQ(state.Conn.BaudRate, 230400);
    EXPECT_TRUE(Item("miAutoRefresh")->isChecked());
    EXPECT_FALSE(Item("miSaveImagesAsJpeg")->isChecked());
    EXPECT_EQ(window->frConverter->lbReserved->count(), 3);
    EXPECT_EQ(window->size(), QSize(900, 700));
    EXPECT_EQ(window->pos(), QPoint(10, 20));

    // A port that is gone restores nothing and the stored choice stays.
    Restart();
    EXPECT_EQ(state.Conn.ComPortNumber, 0);
    EXPECT_TRUE(window->close());
    TGmXML doc;
        Load(doc);
    EXPECT_EQ(Val(doc, "Extra"), "kept");
    // This machine's ports decide: none gives "0", a checked one its name,
    // none checked keeps the stored choice.
    QAction* checked = window->ComPortGroup->checkedAction();
    EXPECT_EQ(Val(doc, "miPhoneCOMport"), window->miPhoneCOMport->isEmpty() ? "0"
                                          : checked                         ? checked->objectName().toStdString()
                                                                            : "MIcom5");
    window.reset();
}

TEST_F(Settings, ImageIdNamesNameThePicturesInTheList) {
    Open();
    const int id = state.Fw.Firmware.Images[1].ID + 1;
    Write(Ini(), "<Options installed=\"1\"><imageID><id val=\"" + QByteArray::number(id) +
                     "\" name=\" Logo \"/></imageID></Options>");
    window->show();
    ASSERT_GT(state.Fw.ImageIdNames.size(), size_t(id));
    ASSERT_TRUE(window->Editor().SelectNode("Images"));
    EXPECT_EQ(window->Editor().FilesModel->data(window->Editor().FilesModel->index(1, 0), Qt::DisplayRole).toString(), "Logo");
    EXPECT_EQ(window->Editor().FilesModel->data(window->Editor().FilesModel->index(0, 0), Qt::DisplayRole).toString(), "Image_1");
    // Only read: closing leaves the names in the file.
    EXPECT_TRUE(window->close());
    TGmXML doc;
        Load(doc);
    EXPECT_NE(doc.Nodes().NodeByName("Options")->Children().NodeByName("imageID"), nullptr);
}

TEST_F(Settings, AMalformedFileIsReadAsFarAsItGoes) {
    Write(Ini(), QByteArray("<Options installed=\"1\"><miPhoneTimeOut val=\"MI3500ms\"/><WindowState>x;y") +
                     QByteArray("\0\xff<<</>>", 8) + "<imageID><id val=");
    window->show();
    EXPECT_TRUE(prompts.Messages.empty());
    EXPECT_TRUE(window->close());
    TGmXML doc;
        Load(doc);
    EXPECT_NE(doc.Nodes().NodeByName("Options"), nullptr);

    Write(Ini(), "\x01\x02 not xml at all >>");
    Restart();
    // No usable Options: a fresh one, the About box, defaults everywhere.
    EXPECT_EQ(prompts.Modals, std::vector<QString>{"AboutBox"});
    EXPECT_EQ(state.Conn.TimeOut, 2500);
    EXPECT_EQ(window->frConverter->lbReserved->count(), 1);
}

TEST_F(Settings, LanguagePacksChangeCaptionsAndEnglishComesBack) {
    // "Файл" and "Сохранить" in Windows-1251; a "|" breaks the line.
    Write(Path("prog/ru.lng"), "[LanguagePack]\r\nLanguage=Russian\r\n[fMain]\r\nmiFile=\xD4\xE0\xE9\xEB\r\n"
                               "TabSheet3=s3|Converter\r\nbCreatePatch=\r\n[frConverter]\r\nbRegAdd=Add it\r\n"
                               "[fSavePatch]\r\nfSavePatch=\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC\r\n"
                               "leFileName=File:\r\n[AboutBox]\r\nOKButton=Fine\r\n");
    Write(Path("prog/de.v2.lng"), "[LanguagePack]\r\nLanguage=Deutsch\r\n[fMain]\r\nmiFile=Datei\r\n");
    Write(Path("prog/none.lng"), "[fMain]\r\nmiFile=Nothing\r\n");
    Write(Ini(), "<Options installed=\"1\"><Language></Language></Options>");
    window->show();
    QStringList captions;
    for (QAction* a : window->miLanguage->actions()) captions << a->text() + "=" + a->objectName();
    EXPECT_EQ(captions, (QStringList{"English=miEnglishLang", "Deutsch=de", "Russian=ru"}));
    auto* miFile = window->findChild<QMenu*>("miFile");
    // A labelled edit's label goes by the edit's name.
    auto labelOf = [this](QWidget* edit) -> QString {
        for (QLabel* l : window->fSavePatch->findChildren<QLabel*>())
            if (l->buddy() == edit) return l->text();
        return "(no label)";
    };

    Item("ru")->trigger();
    EXPECT_EQ(miFile->title(), QString::fromUtf8("Файл"));
    EXPECT_EQ(window->PageControl->tabText(2), "s3\nConverter");
    EXPECT_EQ(window->Editor().bCreatePatch->text(), "Create Patch");  // empty value: unchanged
    EXPECT_EQ(window->frConverter->bRegAdd->text(), "Add it");
    EXPECT_EQ(window->fSavePatch->windowTitle(), QString::fromUtf8("Сохранить"));
    EXPECT_EQ(window->AboutBox->OKButton->text(), "Fine");
    EXPECT_EQ(labelOf(window->fSavePatch->leFileName), "File:");
    EXPECT_EQ(StoredLanguage(), "ru.lng");

    // The pack with two dots is stored and found under its whole name.
    Item("de")->trigger();
    EXPECT_EQ(miFile->title(), "Datei");
    EXPECT_EQ(window->frConverter->bRegAdd->text(), "Append Region");
    EXPECT_EQ(StoredLanguage(), "de.v2.lng");
    Restart();
    EXPECT_EQ(window->findChild<QMenu*>("miFile")->title(), "Datei");

    // English comes back with the next start.
    Item("miEnglishLang")->trigger();
    ASSERT_FALSE(prompts.Messages.empty());
    EXPECT_EQ(prompts.Messages.back().text, "Please Restart the Program!");
    EXPECT_EQ(prompts.Messages.back().caption, "Warning!");
    EXPECT_EQ(StoredLanguage(), "");
    Restart();
    EXPECT_EQ(window->findChild<QMenu*>("miFile")->title(), "&File");
    EXPECT_EQ(labelOf(window->fSavePatch->leFileName), "Save As:   ");
    Item("ru")->trigger();
    Restart();
    EXPECT_EQ(window->fSavePatch->windowTitle(), QString::fromUtf8("Сохранить"));
    EXPECT_EQ(labelOf(window->fSavePatch->leFileName), "File:");
}

// The Russian pack shipped with the program names every text a pack can
// change, in every window and view, and nothing else; chosen from the menu it
// changes them all. A caption added without its Russian text fails here.
TEST_F(Settings, RussianPackTranslatesEveryText) {
    const QString shipped = QDir(LANGUAGE_PACK_DIR).filePath("Russian.lng");
    QFile file(shipped);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << shipped.toStdString();
    const QByteArray bytes = file.readAll();
    const IniFile pack = IniFile::Parse(bytes.toStdString());
    EXPECT_EQ(PackLanguageName(pack), "Русский");
    Write(Path("prog/Russian.lng"), bytes);
    Write(Ini(), "<Options installed=\"1\"><Language></Language></Options>");
    window->show();

    // Every text is named, with the same text wherever a name repeats.
    QSet<QString> known;
    QStringList missing, ambiguous;
    QHash<QString, QString> english;
    for (const PackEntry& e : window->TranslatableTexts()) {
        const QString id = "[" + e.Section + "] " + e.Key;
        known.insert(id.toLower());
        if (!PackText(pack, e.Section.toStdString(), e.Key.toStdString())) missing << id + "=" + e.Text;
        if (english.contains(id) && english[id] != e.Text) ambiguous << id;
        english[id] = e.Text;
    }
    EXPECT_GT(known.size(), 150);
    // No caption the user sees is out of a pack's reach for want of a name.
    QSet<QObject*> reached;
    for (const PackEntry& e : window->TranslatableTexts()) reached.insert(e.Control);
    QStringList unnamed;
    for (QWidget* w : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(window->fSelImageType)})
        for (QObject* o : w->findChildren<QObject*>()) {
            QString text;
            if (auto* l = qobject_cast<QLabel*>(o)) text = l->text();
            if (auto* b = qobject_cast<QAbstractButton*>(o)) text = b->text();
            if (auto* g = qobject_cast<QGroupBox*>(o)) text = g->title();
            if (!text.isEmpty() && !reached.contains(o) && !o->property("fsTextIsData").toBool() &&
                !qobject_cast<QTabBar*>(o->parent()))
                unnamed << o->metaObject()->className() + QString(" ") + o->objectName() + "=" + text;
        }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join("\n").toStdString();
    EXPECT_TRUE(missing.isEmpty()) << missing.join("\n").toStdString();
    EXPECT_TRUE(ambiguous.isEmpty()) << ambiguous.join("\n").toStdString();
    // ... and every key of the pack belongs to a control.
    QStringList stale;
    QString section;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (line.startsWith('[')) {
            section = line.mid(1, line.indexOf(']') - 1);
        } else if (line.contains('=') && section != "LanguagePack") {
            const QString id = "[" + section + "] " + line.section('=', 0, 0).trimmed();
            if (!known.contains(id.toLower())) stale << id;
        }
    }
    EXPECT_TRUE(stale.isEmpty()) << stale.join("\n").toStdString();

    Item("Russian")->trigger();
    EXPECT_EQ(StoredLanguage(), "Russian.lng");
    QStringList unchanged;
    for (const PackEntry& e : window->TranslatableTexts()) {
        const auto text = PackText(pack, e.Section.toStdString(), e.Key.toStdString());
        if (text && e.Text != QString::fromStdString(*text)) unchanged << "[" + e.Section + "] " + e.Key + "=" + e.Text;
    }
    EXPECT_TRUE(unchanged.isEmpty()) << unchanged.join("\n").toStdString();
    EXPECT_EQ(window->findChild<QMenu*>("miFile")->title(), "&Файл");
    EXPECT_EQ(window->fSelImageType->windowTitle(), "Выбор типа изображений");
}

}  // namespace
}  // namespace flashsmith::shell::test

namespace flashsmith::shell::test {
namespace {

TEST_F(Settings, SettingsThatDoNotFitKeepTheEarlierFile) {
    window->show();
    window->resize(900, 700);
    const QByteArray before = [&] {
        QFile f(Ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_GT(before.size(), 64);
    prompts.Messages.clear();
    const bool closed = [&] {
        flashsmith::test::FileSizeLimit limit(64);
        return window->close();
    }();
    EXPECT_TRUE(closed);
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].caption, "Error!");
    EXPECT_TRUE(prompts.Messages[0].text.contains("Mirel.ini")) << prompts.Messages[0].text.toStdString();
    QFile f(Ini());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    for (const QString& name : QDir(Path("prog")).entryList(QDir::Files))
        EXPECT_FALSE(name.contains(".tmp")) << name.toStdString();
}

}  // namespace
}  // namespace flashsmith::shell::test
