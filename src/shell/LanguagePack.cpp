#include "shell/LanguagePack.h"

#include <functional>

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QVariant>

#include "shell/Settings.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;

namespace {

constexpr const char* kEnglish = "fsBuiltInText";
constexpr const char* kData = "fsTextIsData";

// How one kind of control shows its caption.
struct Caption {
    std::function<QString()> get;
    std::function<void(const QString&)> set;
};

// The caption of o and the key it is filed under, if o has one.
bool CaptionOf(QObject* o, QString* key, Caption* c) {
    if (auto* menu = qobject_cast<QMenu*>(o)) {
        // A pop-up menu has no caption; its items have.
        if (menu->menuAction()->associatedObjects().isEmpty()) return false;
        *key = menu->objectName();
        *c = {[menu] { return menu->title(); }, [menu](const QString& t) { menu->setTitle(t); }};
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        // A command that no menu shows has no caption of its own: the
        // controls bound to it carry theirs.
        if (a->isSeparator() || a->menu() || a->associatedObjects().isEmpty()) return false;
        *key = a->objectName();
        *c = {[a] { return a->text(); }, [a](const QString& t) { a->setText(t); }};
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        *key = b->objectName();
        *c = {[b] { return b->text(); }, [b](const QString& t) { b->setText(t); }};
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        *key = g->objectName();
        *c = {[g] { return g->title(); }, [g](const QString& t) { g->setTitle(t); }};
    } else if (auto* l = qobject_cast<QLabel*>(o)) {
        // A labelled edit's label goes by the edit's name.
        *key = l->buddy() ? l->buddy()->objectName() : l->objectName();
        *c = {[l] { return l->text(); }, [l](const QString& t) { l->setText(t); }};
    } else {
        return false;
    }
    return !key->isEmpty();
}

void SetText(QObject* o, const Caption& c, const QString& text) {
    if (!o->property(kEnglish).isValid()) o->setProperty(kEnglish, c.get());
    c.set(text);
}

std::optional<QString> Text(const IniFile& pack, const QString& section, const QString& key) {
    const auto t = PackText(pack, section.toStdString(), key.toStdString());
    if (!t) return std::nullopt;
    return QString::fromStdString(*t);
}

using Visit = std::function<void(QObject*, const QString& section, const QString& key, const Caption&)>;

// Visits every control below owner that has a caption filed under a key, in
// creation order, views under their own sections.
void Walk(QObject* owner, const QString& section, const ViewSections& views, const Visit& visit) {
    for (QObject* o : owner->children()) {
        if (auto* w = qobject_cast<QWidget*>(o); w && views.contains(w)) {
            // A view with a caption of its own files it under its own name.
            QString key;
            Caption c;
            if (CaptionOf(w, &key, &c)) visit(w, views.value(w), key, c);
            Walk(w, views.value(w), views, visit);
            continue;
        }
        // Separate windows get their own pass.
        if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow() && !qobject_cast<QMenu*>(w)) continue;
        QString key;
        Caption c;
        // Qt's own parts of a control (a tab bar's scroll buttons, the menu
        // bar's extension button) are not the program's.
        const bool own = !o->objectName().startsWith("qt_") && !qobject_cast<QTabBar*>(owner);
        if (own && !o->property(kData).toBool() && CaptionOf(o, &key, &c)) visit(o, section, key, c);
        if (auto* tabs = qobject_cast<QTabWidget*>(o)) {
            for (int i = 0; i < tabs->count(); ++i) {
                QWidget* page = tabs->widget(i);
                if (page->objectName().isEmpty()) continue;
                visit(page, section, page->objectName(),
                      {[tabs, i] { return tabs->tabText(i); }, [tabs, i](const QString& s) { tabs->setTabText(i, s); }});
            }
        }
        Walk(o, section, views, visit);
    }
}

void WalkWindow(QWidget* window, const ViewSections& views, bool mainWindow, const Visit& visit) {
    const QString section = window->objectName();
    if (!mainWindow)
        visit(window, section, section,
              {[window] { return window->windowTitle(); }, [window](const QString& s) { window->setWindowTitle(s); }});
    Walk(window, section, views, visit);
}

}  // namespace

void ApplyLanguagePack(QWidget* window, const IniFile& pack, const ViewSections& views, bool mainWindow) {
    WalkWindow(window, views, mainWindow,
               [&pack](QObject* o, const QString& section, const QString& key, const Caption& c) {
                   if (const auto t = Text(pack, section, key)) SetText(o, c, *t);
               });
}

QList<PackEntry> TranslatableTexts(QWidget* window, const ViewSections& views, bool mainWindow) {
    QList<PackEntry> entries;
    WalkWindow(window, views, mainWindow, [&entries](QObject* o, const QString& section, const QString& key, const Caption& c) {
        entries.push_back({o, section, key, c.get()});
    });
    return entries;
}

void MarkTextAsData(QObject* control) { control->setProperty(kData, true); }

void RestoreBuiltInTexts(QWidget* window) {
    QList<QObject*> all = window->findChildren<QObject*>();
    all.prepend(window);
    for (QObject* o : all) {
        const QVariant english = o->property(kEnglish);
        if (!english.isValid()) continue;
        if (o == window) {
            window->setWindowTitle(english.toString());
        } else if (auto* page = qobject_cast<QWidget*>(o);
                   page && page->parentWidget() && qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget())) {
            auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
            tabs->setTabText(tabs->indexOf(page), english.toString());
        } else {
            QString key;
            Caption c;
            if (CaptionOf(o, &key, &c)) c.set(english.toString());
        }
        o->setProperty(kEnglish, QVariant());
    }
}

}  // namespace flashsmith::shell
