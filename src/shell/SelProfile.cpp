#include "shell/SelProfile.h"

#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace flashsmith::shell {

TfSelProfile::TfSelProfile(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Firmware Profile");
    setObjectName("fSelProfile");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setMinimumWidth(160);
    setMaximumWidth(240);
    resize(200, 220);
    auto* layout = new QVBoxLayout(this);
    lbSelProfile = new QListWidget(this);
    lbSelProfile->setObjectName("lbSelProfile");
    lbSelProfile->setSelectionMode(QAbstractItemView::SingleSelection);
    bSelect = new QPushButton("Select", this);
    bSelect->setObjectName("bSelect");
    bSelect->setDefault(true);
    layout->addWidget(lbSelProfile, 1);
    layout->addWidget(bSelect, 0, Qt::AlignHCenter);
    connect(bSelect, &QPushButton::clicked, this, &TfSelProfile::bSelectClick);
    connect(lbSelProfile, &QListWidget::itemDoubleClicked, this, &TfSelProfile::bSelectClick);
}

void TfSelProfile::Fill(const QStringList& paths) {
    lbSelProfile->clear();
    for (const QString& p : paths) lbSelProfile->addItem(QFileInfo(p).fileName());
    tag_ = -1;
}

int TfSelProfile::Choose(const QStringList& paths) {
    Fill(paths);
    if (parentWidget()) {
        // Centred on the main window.
        QRect r = parentWidget()->window()->frameGeometry();
        move(r.center() - rect().center());
    }
    const int rc = exec();
    hide();
    return rc == QDialog::Accepted ? tag_ : -1;
}

void TfSelProfile::bSelectClick() {
    // Without a selection the dialog simply stays open.
    const int row = lbSelProfile->currentRow();
    if (row < 0 || lbSelProfile->selectedItems().isEmpty()) return;
    tag_ = row;
    accept();
}

}  // namespace flashsmith::shell
