#include "ui/settings/preference_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tobrel {

TfrmPreference::TfrmPreference(const QString& port, QList<SerialDevice> devices, QWidget* parent)
    : QDialog(parent), devices_(std::move(devices)) {
    setObjectName(QStringLiteral("TfrmPreference"));
    setWindowTitle(tr("Preference"));

    cbCommPort = new QComboBox(this);
    cbCommPort->setObjectName(QStringLiteral("cbCommPort"));
    for (int n = 1; n <= 8; ++n)
        cbCommPort->addItem(QStringLiteral("COM%1").arg(n));
    cbCommPort->setCurrentIndex(0);
    const int found = cbCommPort->findText(port);
    if (found >= 0)
        cbCommPort->setCurrentIndex(found);

    lblDevice = new QLabel(this);
    lblDevice->setObjectName(QStringLiteral("lblDevice"));
    lblDevice->setWordWrap(true);
    lblDevice->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cbDevice = new QComboBox(this);
    cbDevice->setObjectName(QStringLiteral("cbDevice"));
    cbDevice->setEditable(true);
    cbDevice->setInsertPolicy(QComboBox::NoInsert);
    cbDevice->setMinimumContentsLength(32);
    for (const SerialDevice& d : devices_)
        cbDevice->addItem(d.Label(), d.path);
    cbDevice->setToolTip(tr("Choose a serial device or type the path of one"));

    auto* form = new QFormLayout;
    auto* portLabel = new QLabel(tr("COM port"), this);
    portLabel->setBuddy(cbCommPort);
    form->addRow(portLabel, cbCommPort);
    auto* nowLabel = new QLabel(tr("Device now"), this);
    form->addRow(nowLabel, lblDevice);
    auto* deviceLabel = new QLabel(tr("&Device"), this);
    deviceLabel->setBuddy(cbDevice);
    form->addRow(deviceLabel, cbDevice);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(cbCommPort, &QComboBox::currentIndexChanged, this, &TfrmPreference::ShowPort);
    ShowPort();
}

QString TfrmPreference::ChosenPort() const {
    return cbCommPort->currentText();
}

int TfrmPreference::ChosenPortNumber() const {
    return cbCommPort->currentIndex() + 1;
}

QString TfrmPreference::ChosenDevice() const {
    const QString text = cbDevice->currentText().trimmed();
    const int i = cbDevice->findText(text);
    return i >= 0 ? cbDevice->itemData(i).toString() : text;
}

void TfrmPreference::ShowPort() {
    const PortDevice now = PortDeviceOf(ChosenPortNumber());
    shownDevice_ = now.path;
    QString where;
    switch (now.source) {
        case PortDevice::Source::kEnvironment:
            where = tr("set by the environment variable SORVANE_COM%1, which overrides the "
                       "port map file")
                        .arg(ChosenPortNumber());
            break;
        case PortDevice::Source::kPortMapFile:
            where = tr("from %1").arg(PortMapFilePath());
            break;
        default:
            where = tr("the default");
            break;
    }
    lblDevice->setText(QStringLiteral("%1 (%2)").arg(now.path, where));
    const int i = cbDevice->findData(now.path);
    if (i >= 0)
        cbDevice->setCurrentIndex(i);
    else
        cbDevice->setEditText(now.path);
}

void TfrmPreference::accept() {
    const QString device = ChosenDevice();
    if (!device.isEmpty() && device != shownDevice_) {
        QString error;
        const QString file = PortMapFilePath();
        if (!WritePortMapEntry(file, ChosenPortNumber(), device, &error)) {
            QMessageBox::critical(
                this, tr("Error"),
                tr("The port map file %1 could not be written: %2").arg(file, error));
            return;
        }
    }
    QDialog::accept();
}

}  // namespace tobrel
