#include "ui/dialogs/about_box.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include "ui/program_icon.h"

namespace tobrel {

QString ControlVersionText(std::int32_t version) {
    return QStringLiteral("%1")
        .arg(static_cast<std::uint32_t>(version), 8, 16, QLatin1Char('0'))
        .toUpper();
}

TAboutBox::TAboutBox(std::int32_t controlVersion, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(tr("About"));

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(ProgramPixmap(32));
    ProgramIcon->setFixedSize(33, 33);
    ProductName = new QLabel(QStringLiteral("TobrelPA"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    Version = new QLabel(QString::fromLatin1(kVersionText), panel);
    Version->setObjectName(QStringLiteral("Version"));
    lbSorvaneVer = new QLabel(QStringLiteral("Sorvane Version"), panel);
    lbSorvaneVer->setObjectName(QStringLiteral("lbSorvaneVer"));
    stSorvaneVer = new QLabel(ControlVersionText(controlVersion), panel);
    stSorvaneVer->setObjectName(QStringLiteral("stSorvaneVer"));
    stSorvaneVer->setFrameShape(QFrame::Panel);
    stSorvaneVer->setFrameShadow(QFrame::Sunken);
    stSorvaneVer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Notice = new QLabel(tr("A GPS receiver link and map program by Vesko."), panel);
    Notice->setObjectName(QStringLiteral("Notice"));

    auto* grid = new QGridLayout(panel);
    grid->addWidget(ProgramIcon, 0, 0, 2, 1);
    grid->addWidget(ProductName, 0, 1);
    grid->addWidget(Version, 1, 1);
    grid->addWidget(lbSorvaneVer, 2, 0, 1, 1);
    grid->addWidget(stSorvaneVer, 2, 1);
    grid->addWidget(Notice, 3, 0, 1, 2);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(buttons);
}

}  // namespace tobrel
