#include "ui/dialogs/tobrel_ce_map_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tobrel {

TfrmTobrelCEMap::TfrmTobrelCEMap(FolderChooser chooseFolder, QWidget* parent)
    : QDialog(parent), chooseFolder_(std::move(chooseFolder)) {
    setObjectName(QStringLiteral("TfrmTobrelCEMap"));
    setWindowTitle(tr("frmTobrelCEMap"));

    lblFolder = new QLabel(this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnFolder = new QPushButton(tr("Choose..."), this);
    btnFolder->setObjectName(QStringLiteral("btnFolder"));
    connect(btnFolder, &QPushButton::clicked, this, [this] {
        if (!chooseFolder_)
            return;
        const QString chosen = chooseFolder_(this, folder_);
        if (!chosen.isEmpty())
            SetFolder(chosen);
    });
    SetFolder(QDir::currentPath());

    lbSelectLayer = new QListWidget(this);
    lbSelectLayer->setObjectName(QStringLiteral("lbSelectLayer"));
    edtMapWidth = new QLineEdit(QString::number(kDefaultTileWidth), this);
    edtMapWidth->setObjectName(QStringLiteral("edtMapWidth"));
    edtMapHeight = new QLineEdit(QString::number(kDefaultTileHeight), this);
    edtMapHeight->setObjectName(QStringLiteral("edtMapHeight"));
    edtMapHeight->setAccessibleName(tr("Bitmap height"));

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(lblFolder, 1);
    folderRow->addWidget(btnFolder);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(edtMapWidth);
    sizeRow->addWidget(new QLabel(tr("x"), this));
    sizeRow->addWidget(edtMapHeight);

    auto* form = new QFormLayout;
    auto* folderLabel = new QLabel(tr("Folder"), this);
    folderLabel->setBuddy(btnFolder);
    form->addRow(folderLabel, folderRow);
    auto* layerLabel = new QLabel(tr("Map layer"), this);
    layerLabel->setBuddy(lbSelectLayer);
    form->addRow(layerLabel, lbSelectLayer);
    auto* sizeLabel = new QLabel(tr("Size of one bitmap (width x height)"), this);
    sizeLabel->setBuddy(edtMapWidth);
    form->addRow(sizeLabel, sizeRow);

    auto* buttons = new QDialogButtonBox(this);
    BitBtn1 = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TfrmTobrelCEMap::SetLayers(const QStringList& captions) {
    lbSelectLayer->clear();
    lbSelectLayer->addItems(captions);
    if (lbSelectLayer->count() > 0)
        lbSelectLayer->setCurrentRow(0);
}

int TfrmTobrelCEMap::SelectedLayer() const {
    return lbSelectLayer->currentRow();
}

void TfrmTobrelCEMap::SetFolder(const QString& folder) {
    folder_ = folder;
    lblFolder->setText(QDir::toNativeSeparators(folder));
}

QSize TfrmTobrelCEMap::TileSize() const {
    bool okWidth = false;
    bool okHeight = false;
    const int w = edtMapWidth->text().trimmed().toInt(&okWidth, 10);
    const int h = edtMapHeight->text().trimmed().toInt(&okHeight, 10);
    if (!okWidth || !okHeight)
        return {kDefaultTileWidth, kDefaultTileHeight};
    return {w, h};
}

}  // namespace tobrel
