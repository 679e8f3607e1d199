#include "AboutDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace cvi {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Corvanel Interactive"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<b>Corvanel Interactive</b>"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    auto* version = new QLabel(QStringLiteral("Version " CVI_VERSION), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* text =
        new QLabel(QStringLiteral("Configuration, calibration and live readings of intelligent pressure "
                                  "instruments and the Atmo 3 meteorological system on a serial loop."),
                   this);
    text->setWordWrap(true);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(text);
    layout->addWidget(ok, 0, Qt::AlignRight);
    setFixedWidth(380);
}

} // namespace cvi
