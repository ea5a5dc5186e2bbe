#include "shell/AboutBox.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/Icons.h"
#include "shell/LanguagePack.h"
#include "shell/Version.h"

namespace flashsmith::shell {

const char* const TAboutBox::kHomePage = "https://flashsmith.example.org/";
const char* const TAboutBox::kMail = "mailto:flashsmith@example.org";

namespace {

const char* const kTerms =
    "Flashsmith is free software: you may use, copy, change and pass it on, "
    "with or without changes, as long as this notice goes with it.\r\n\r\n"
    "It comes without any warranty. Writing a changed flash image into a phone "
    "can make the phone unusable; keep a copy of the original image and use "
    "patches at your own risk.\r\n\r\n"
    "The program never writes the firmware image it opens: every change is "
    "kept aside until you save it as a patch.";

const char* const kCopyright = "Copyright (c) 2026 the Flashsmith developers";

}  // namespace

HoverLabel::HoverLabel(const QString& text, QWidget* parent, QString url)
    : QLabel(text, parent), Url(std::move(url)) {
    SetColour(Qt::magenta);
    if (!Url.isEmpty()) setCursor(Qt::PointingHandCursor);
}

void HoverLabel::SetColour(const QColor& colour) {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
}

void HoverLabel::enterEvent(QEnterEvent*) { SetColour(Qt::red); }

void HoverLabel::leaveEvent(QEvent*) { SetColour(Qt::magenta); }

void HoverLabel::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && !Url.isEmpty() && rect().contains(e->position().toPoint()))
        emit clicked(Url);
    QLabel::mouseReleaseEvent(e);
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    // Only the panel is visible: the window around it is see-through.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    OpenLink = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    outer->addWidget(Panel1);

    auto* grid = new QGridLayout(Panel1);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setPixmap(AppIcon().pixmap(48, 48));
    ProductName = new QLabel(flashsmith::shell::ProductName(), Panel1);
    QFont big = ProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel("Version " + ProductVersion(), Panel1);
    Copyright = new QLabel(kCopyright, Panel1);
    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(QString(kTerms).left(1024));
    Memo1->setFixedHeight(110);
    Label1 = new QLabel("Contact:", Panel1);
    Label2 = new HoverLabel("flashsmith.example.org", Panel1, kHomePage);
    Label3 = new HoverLabel("flashsmith@example.org", Panel1, kMail);
    Label4 = new HoverLabel("Bug reports and patches are welcome.", Panel1);
    OKButton = new QPushButton("OK", Panel1);
    OKButton->setDefault(true);
    // Language packs find the texts by these names.
    for (auto [w, name] : {std::pair<QWidget*, const char*>{ProductName, "ProductName"}, {Version, "Version"},
                           {Copyright, "Copyright"}, {Memo1, "Memo1"}, {Label1, "Label1"}, {Label2, "Label2"},
                           {Label3, "Label3"}, {Label4, "Label4"}, {OKButton, "OKButton"}})
        w->setObjectName(name);
    // The name, the version and the addresses read the same in every language.
    for (QWidget* w : {static_cast<QWidget*>(ProductName), static_cast<QWidget*>(Version), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Label3)})
        MarkTextAsData(w);

    grid->addWidget(ProgramIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(ProductName, 0, 1);
    grid->addWidget(Version, 1, 1);
    grid->addWidget(Copyright, 2, 1);
    grid->addWidget(Memo1, 3, 0, 1, 2);
    grid->addWidget(Label1, 4, 0, 1, 2);
    grid->addWidget(Label2, 5, 0, 1, 2);
    grid->addWidget(Label3, 6, 0, 1, 2);
    grid->addWidget(Label4, 7, 0, 1, 2);
    grid->addWidget(OKButton, 8, 0, 1, 2, Qt::AlignHCenter);
    setFixedSize(380, 380);

    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(Label2, &HoverLabel::clicked, this, [this](const QString& url) { OpenLink(url); });
    connect(Label3, &HoverLabel::clicked, this, [this](const QString& url) { OpenLink(url); });
    for (QWidget* w : std::initializer_list<QWidget*>{Panel1, ProgramIcon, ProductName, Version, Copyright, Label1,
                                                      Label4, OKButton})
        w->installEventFilter(this);
}

void TAboutBox::showEvent(QShowEvent*) {
    if (parentWidget()) {
        const QRect r = parentWidget()->window()->frameGeometry();
        move(r.center() - rect().center());
    }
}

void TAboutBox::paintEvent(QPaintEvent*) {
    // Nothing outside the panel is drawn.
}

bool TAboutBox::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(event);
            if (m->button() == Qt::LeftButton) {
                dragStart_ = m->globalPosition().toPoint();
                dragging_ = true;
            }
            break;
        }
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(event);
            if (dragging_ && (m->buttons() & Qt::LeftButton)) {
                const QPoint now = m->globalPosition().toPoint();
                move(pos() + (now - dragStart_));
                dragStart_ = now;
            }
            break;
        }
        case QEvent::MouseButtonRelease: dragging_ = false; break;
        default: break;
    }
    return false;
}

}  // namespace flashsmith::shell
