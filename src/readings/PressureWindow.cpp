#include "PressureWindow.h"

#include "Frames.h"
#include "PageHost.h"

#include <QGridLayout>
#include <QLabel>

namespace cvi {

namespace {
const QString Caption = QStringLiteral("Pressure");
constexpr int ValuePoints = 28;
constexpr int UnitAt = 8;         // the code's position in "*0001UN=1"
constexpr int ShortestValue = 10; // a user-unit reply that holds a text
} // namespace

PressureWindow::PressureWindow(PageHost& host)
    : LiveWindow(host, QStringLiteral("frmPressure"), Caption, QStringLiteral("Pressure Reading")) {
    auto* title = new QLabel(Caption, this);
    title->setObjectName(QStringLiteral("PnlPressurefrm"));
    title->setAlignment(Qt::AlignCenter);
    pressure_ = valuePanel(QStringLiteral("PnlPressure"));
    QFont big(QStringLiteral("Times New Roman"));
    big.setPointSize(ValuePoints);
    pressure_->setFont(big);
    pressure_->setMinimumWidth(pressure_->fontMetrics().horizontalAdvance(QStringLiteral("-00000.0000")));
    unit_ = new QLabel(this);
    unit_->setObjectName(QStringLiteral("PnlPressureUnit"));
    unit_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    values()->addWidget(title, 0, 0, 1, 2);
    values()->addWidget(pressure_, 1, 0);
    values()->addWidget(unit_, 1, 1);
    follow(QStringLiteral("Pressure"), pressure_, unit_);
}

void PressureWindow::prepare() {
    const QString reply = askAlone(QStringLiteral("UN"), true);
    const QString code = reply.mid(UnitAt, 1);
    QString unit = live::unitText(code);
    if (code == QStringLiteral("0")) {
        const QString user = askAlone(QStringLiteral("UM"), false);
        unit = user.size() >= ShortestValue ? user.mid(UnitAt, user.size() - ShortestValue)
                                            : QStringLiteral("?");
    }
    unit_->setText(unit);
    main_.runtime().pump();
}

bool PressureWindow::pass() {
    const QString reply = ask(QStringLiteral("P3"));
    if (exiting()) return false;
    if (reply.isEmpty()) {
        recover(pressure_);
    } else {
        QString cut = reply;
        display(pressure_, live::reading(ReplyNumber(cut), resolution()));
    }
    return true;
}

void installPressureWindow(PageHost& host) {
    host.onAction(QStringLiteral("mnuPressure"), [&host] {
        runLiveWindow(host, [&host] { return std::make_unique<PressureWindow>(host); });
    });
}

} // namespace cvi
