#include "Atmo3Display.h"

#include "PageHost.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace cvi {

Atmo3Display::Atmo3Display(PageHost& host)
    : LiveWindow(host, QStringLiteral("frmAtmo3Display"),
                 QStringLiteral("Atmo 3 Meteorological Measurement System Display"),
                 QStringLiteral("Pressure Reading")) {
    // The time-out's PR read comes after a lone "*" and 10 ms here.
    wakeUpBeforePR_ = true;
    resolutionButton_->setObjectName(QStringLiteral("cmdResolution"));
    pressure_ = valuePanel(QStringLiteral("PnlPressure"));
    unit_ = new QLabel(this);
    unit_->setObjectName(QStringLiteral("PnlPressureUnit"));
    unit_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    temperature_ = valuePanel(QStringLiteral("PnlTemperature"));
    humidity_ = valuePanel(QStringLiteral("PnlHumidity"));
    const struct {
        const char* title;
        QLabel* value;
        QLabel* unit;
    } rows[] = {{"Pressure", pressure_, unit_},
                {"Temperature", temperature_, new QLabel(QStringLiteral("deg C"), this)},
                {"Humidity", humidity_, new QLabel(QStringLiteral("% RH"), this)}};
    int row = 0;
    for (const auto& r : rows) {
        values()->addWidget(new QLabel(QString::fromLatin1(r.title), this), row, 0);
        values()->addWidget(r.value, row, 1);
        values()->addWidget(r.unit, row, 2);
        follow(QString::fromLatin1(r.title), r.value, r.unit);
        ++row;
    }
}

void Atmo3Display::prepare() {
    unit_->setText(pressureUnit());
}

bool Atmo3Display::pass() {
    // A value leaves the main window's middle message as it is.
    return !exiting() && readInto(QStringLiteral("P3"), pressure_, true, false) &&
           readInto(QStringLiteral("TT"), temperature_, false, false) &&
           readInto(QStringLiteral("RH"), humidity_, false, false);
}

void installAtmo3Display(PageHost& host) {
    host.onAction(QStringLiteral("mnuAtmo3"),
                  [&host] { runLiveWindow(host, [&host] { return std::make_unique<Atmo3Display>(host); }); });
}

} // namespace cvi
