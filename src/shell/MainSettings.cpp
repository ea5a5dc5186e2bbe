// The main window's settings steps ("Mirel.ini"), the Language menu and the
// choice of the sound library.
#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QShowEvent>

#include "firmware/IniFile.h"
#include "shell/AboutBox.h"
#include "shell/ConverterPage.h"
#include "shell/FileManPane.h"
#include "shell/PhoneFileManView.h"
#include "shell/ProfileCreatorPage.h"
#include "shell/SelImageTypeDialog.h"
#include "shell/FirmwareViewer.h"
#include "shell/LanguagePack.h"
#include "shell/MainWindow.h"
#include "shell/PatchesPage.h"
#include "shell/QtText.h"
#include "shell/SavePatchDialog.h"
#include "shell/SelProfile.h"
#include "shell/Settings.h"
#include "shell/UserPrompts.h"
#include "shell/Version.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;
using namespace flashsmith::xml;

namespace {

bool IsRadio(const QAction* a) {
    return a->isCheckable() && a->actionGroup() && a->actionGroup()->isExclusive();
}

std::string Std(const QString& s) { return s.toStdString(); }

}  // namespace

QString TfMain::SettingsPath() const { return Q(state_.Fw.ProgramDir) + kSettingsFile; }

void TfMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (settingsLoaded_) return;
    settingsLoaded_ = true;
    LoadSettings();
}

QList<QWidget*> TfMain::Windows() const {
    return {const_cast<TfMain*>(this), AboutBox, fSelProfile, fSavePatch, fSelImageType};
}

ViewSections TfMain::LanguageViews() const {
    ViewSections views;
    views.insert(editor_->frEditor, "frEditor");
    views.insert(editor_->frFwViewer, "frFwViewer");
    views.insert(frProfileCreator, "frProfileCreator");
    views.insert(frConverter, "frConverter");
    views.insert(frPatches, "frPatches");
    views.insert(frPhoneFileMan, "frPhoneFileMan");
    views.insert(frPhoneFileMan->frFileMan, "frFileMan");
    return views;
}

QList<PackEntry> TfMain::TranslatableTexts() const {
    QList<PackEntry> entries;
    const ViewSections views = LanguageViews();
    for (QWidget* w : Windows()) entries += flashsmith::shell::TranslatableTexts(w, views, w == this);
    return entries;
}

void TfMain::LoadSettings() {
    TGmXML doc;
    bool aboutShown = false;
    if (QFileInfo::exists(SettingsPath())) {
        doc.LoadFile(Std(SettingsPath()));
    } else {
        prompts_.ShowModal(AboutBox);
        aboutShown = true;
    }
    TGmXmlNode& options = FindOrAddTop(doc, "Options");
    const TGmXmlAttribute* installed = options.Attributes().AttributeByName("installed");
    if (!installed || installed->Value() != "1") {
        options.Attributes().SetAttribute("installed", "1");
        if (!aboutShown) prompts_.ShowModal(AboutBox);
    }
    RestoreMenuState(options, miOptions);
    // A stored library that is not (or no longer) in the folder: the
    // built-in player takes over rather than a silent preview.
    if (editor_->SoundLibraryMissing()) SelectSoundLibrary(TfEditorPage::kBuiltInPlayer);

    const TGmXmlNode* regions = options.Children().NodeByName("ReservedRegions");
    for (const std::string& text : SplitRegionTexts(regions ? regions->Value() : std::string())) {
        frConverter->AppendStoredRegion(FromAnsi(text));
    }

    const TGmXmlNode* geometry = options.Children().NodeByName("WindowState");
    if (const auto g = ParseWindowState(geometry ? geometry->Value() : std::string())) {
        resize(g->Width, height());
        resize(width(), g->Height);
        move(g->Left, y());
        move(x(), g->Top);
    }

    const TGmXmlNode* language = options.Children().NodeByName("Language");
    const QString pack = language ? FromAnsi(language->Value()) : QString();

    state_.Fw.ImageIdNames = ReadImageIdNames(options.Children().NodeByName("imageID"));

    if (base::Status s = doc.SaveFile(Std(SettingsPath())); !s) prompts_.Message(this, Q(s.Error()), "Error!");

    if (!pack.isEmpty() && QFileInfo(QDir(Q(state_.Fw.ProgramDir)).filePath(pack)).isFile())
        ApplyLanguageFile(pack);
    FillLanguageMenu(pack);
}

void TfMain::SaveSettings() {
    TGmXML doc;
    if (QFileInfo::exists(SettingsPath()))
        doc.LoadFile(Std(SettingsPath()));
    else
        prompts_.ShowModal(AboutBox);
    TGmXmlNode& options = FindOrAddTop(doc, "Options");
    StoreMenuState(miOptions, options);

    std::string regions;
    for (const QString& text : frConverter->RegionTexts()) regions += ToAnsi(text) + ";";
    FindOrAddChild(options, "ReservedRegions").SetValue(regions);
    FindOrAddChild(options, "WindowState").SetValue(FormatWindowState({width(), height(), x(), y()}));

    if (base::Status s = doc.SaveFile(Std(SettingsPath())); !s) prompts_.Message(this, Q(s.Error()), "Error!");
}

void TfMain::RestoreMenuState(TGmXmlNode& options, QMenu* menu) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        if (a->menu()) {
            RestoreMenuState(options, a->menu());
        } else if (IsRadio(a)) {
            const TGmXmlNode* group = options.Children().NodeByName(Std(menu->objectName()));
            const TGmXmlAttribute* val = group ? group->Attributes().AttributeByName("val") : nullptr;
            if (val && val->Value() == Std(a->objectName())) {
                a->trigger();
                return;
            }
        } else if (const TGmXmlNode* item = options.Children().NodeByName(Std(a->objectName()))) {
            const TGmXmlAttribute* val = item->Attributes().AttributeByName("val");
            bool ok = false;
            const int n = val ? Q(val->Value()).trimmed().toInt(&ok) : -1;
            if (ok && n >= 0) a->setChecked(n == 1);
        }
    }
}

void TfMain::StoreMenuState(QMenu* menu, TGmXmlNode& options) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        if (a->menu() && !a->menu()->actions().isEmpty()) {
            StoreMenuState(a->menu(), options);
        } else if (IsRadio(a)) {
            if (!a->isChecked()) continue;
            FindOrAddChild(options, Std(menu->objectName())).Attributes().SetAttribute("val", Std(a->objectName()));
            return;
        } else {
            // An empty submenu (no COM port found) is stored like a check item.
            const QString name = a->menu() ? a->menu()->objectName() : a->objectName();
            FindOrAddChild(options, Std(name)).Attributes().SetAttribute("val", a->isChecked() ? "1" : "0");
        }
    }
}

void TfMain::FillLanguageMenu(const QString& current) {
    const QDir dir(Q(state_.Fw.ProgramDir));
    for (const QFileInfo& f : dir.entryInfoList({"*.lng"}, QDir::Files, QDir::Name)) {
        const QString caption =
            Q(PackLanguageName(IniFile::Load(Std(f.absoluteFilePath()))));
        if (caption.isEmpty()) continue;
        QAction* item = miLanguage->addAction(caption);
        item->setObjectName(f.fileName().section('.', 0, 0));
        MarkTextAsData(item);
        // The whole file name, so a name with more dots finds its own file.
        item->setData(f.fileName());
        item->setCheckable(true);
        item->setChecked(f.fileName() == current);
        LanguageGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { LanguageClick(item); });
    }
}

void TfMain::ApplyLanguageFile(const QString& fileName) {
    const IniFile pack =
        IniFile::Load(Std(QDir(Q(state_.Fw.ProgramDir)).filePath(fileName)));
    const ViewSections views = LanguageViews();
    for (QWidget* w : Windows()) ApplyLanguagePack(w, pack, views, w == this);
}

void TfMain::LanguageClick(QAction* item) {
    if (!QFileInfo::exists(SettingsPath())) return;
    TGmXML doc;
    doc.LoadFile(Std(SettingsPath()));
    TGmXmlNode& language = FindOrAddChild(FindOrAddTop(doc, "Options"), "Language");
    if (item->objectName().compare("miEnglishLang", Qt::CaseInsensitive) == 0) {
        // Controls that change their own captions keep whatever a pack gave
        // them; only a fresh start shows every built-in text again.
        language.SetValue("");
        prompts_.Warning(this, "Please Restart the Program!", "Warning!");
    } else {
        const QString file = item->data().toString();
        language.SetValue(ToAnsi(file));
        if (QFileInfo(QDir(Q(state_.Fw.ProgramDir)).filePath(file)).isFile()) {
            // A pack translates what it names; the rest stays English.
            for (QWidget* w : Windows()) RestoreBuiltInTexts(w);
            ApplyLanguageFile(file);
        }
    }
    item->setChecked(true);
    if (base::Status s = doc.SaveFile(Std(SettingsPath())); !s) prompts_.Message(this, Q(s.Error()), "Error!");
}

void TfMain::SelectSoundLibrary(int tag) {
    if (QAction* item = PlaySoundsGroup->actions().value(tag - 1)) item->setChecked(true);
    editor_->SelectSoundLibrary(tag);
}

}  // namespace flashsmith::shell
