#include "shell/LanguagePack.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QVariant>

#include "shell/Settings.h"

namespace fs::shell {

namespace {

constexpr const char* kEnglish = "fsBuiltInText";

// How one kind of control shows its caption.
struct Caption {
    std::function<QString()> get;
    std::function<void(const QString&)> set;
};

// The caption of o and the key it is filed under, if o has one.
bool CaptionOf(QObject* o, QString* key, Caption* c) {
    if (auto* menu = qobject_cast<QMenu*>(o)) {
        *key = menu->objectName();
        *c = {[menu] { return menu->title(); }, [menu](const QString& t) { menu->setTitle(t); }};
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        if (a->isSeparator() || a->menu()) return false;
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

void ApplyTo(QObject* owner, const QString& section, const IniFile& pack, const ViewSections& views) {
    for (QObject* o : owner->children()) {
        if (auto* w = qobject_cast<QWidget*>(o); w && views.contains(w)) {
            ApplyTo(w, views.value(w), pack, views);
            continue;
        }
        // Separate windows get their own pass.
        if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow() && !qobject_cast<QMenu*>(w)) continue;
        QString key;
        Caption c;
        if (CaptionOf(o, &key, &c))
            if (const auto t = Text(pack, section, key)) SetText(o, c, *t);
        if (auto* tabs = qobject_cast<QTabWidget*>(o)) {
            for (int i = 0; i < tabs->count(); ++i) {
                QWidget* page = tabs->widget(i);
                if (const auto t = Text(pack, section, page->objectName()))
                    SetText(page, {[tabs, i] { return tabs->tabText(i); }, [tabs, i](const QString& s) {
                                       tabs->setTabText(i, s);
                                   }},
                            *t);
            }
        }
        ApplyTo(o, section, pack, views);
    }
}

}  // namespace

void ApplyLanguagePack(QWidget* window, const IniFile& pack, const ViewSections& views, bool mainWindow) {
    const QString section = window->objectName();
    if (!mainWindow)
        if (const auto t = Text(pack, section, section))
            SetText(window, {[window] { return window->windowTitle(); },
                             [window](const QString& s) { window->setWindowTitle(s); }},
                    *t);
    ApplyTo(window, section, pack, views);
}

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

}  // namespace fs::shell
