// "About": a borderless box showing the program's name, version, terms and
// contact links. Everything but the links and the terms drags the box.
#pragma once

#include <QDialog>
#include <QLabel>

class QFrame;
class QPlainTextEdit;
class QPushButton;

namespace flashsmith::shell {

// A label that turns red under the pointer and magenta when it leaves.
class HoverLabel : public QLabel {
    Q_OBJECT
public:
    HoverLabel(const QString& text, QWidget* parent, QString url = {});
    QString Url;

signals:
    void clicked(const QString& url);

protected:
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void SetColour(const QColor& colour);
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    static const char* const kHomePage;
    static const char* const kMail;

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    HoverLabel* Label2 = nullptr;
    HoverLabel* Label3 = nullptr;
    HoverLabel* Label4 = nullptr;
    QPushButton* OKButton = nullptr;

    // Opens a link with the desktop; replaceable so tests see the call.
    std::function<void(const QString&)> OpenLink;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    QPoint dragStart_;
    bool dragging_ = false;
};

}  // namespace flashsmith::shell
