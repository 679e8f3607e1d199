#include "SensorWindow.h"

#include "Frames.h"
#include "PageHost.h"

#include <QGridLayout>
#include <QLabel>

namespace cvi {

namespace {
const QString Caption = QStringLiteral("Sensor Readings");
const QString Celsius = QStringLiteral("deg C");
} // namespace

SensorWindow::SensorWindow(PageHost& host) : LiveWindow(host, QStringLiteral("frmSensor"), Caption, Caption) {
    auto unitPanel = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return l;
    };
    pressure_ = valuePanel(QStringLiteral("PnlPressure"));
    unit_ = unitPanel("PnlPressureUnit", QString());
    temperature_ = valuePanel(QStringLiteral("PnlTemperature"));
    tempUnit_ = unitPanel("PnlTempUnit", Celsius);
    pressurePeriod_ = valuePanel(QStringLiteral("PnlPper"));
    temperaturePeriod_ = valuePanel(QStringLiteral("PnlTper"));
    const struct {
        const char* title;
        QLabel* value;
        QLabel* unit;
    } rows[] = {{"Pressure", pressure_, unit_},
                {"Internal Temperature", temperature_, tempUnit_},
                {"Pressure Period", pressurePeriod_, nullptr},
                {"Temperature Period", temperaturePeriod_, nullptr}};
    int row = 0;
    for (const auto& r : rows) {
        values()->addWidget(new QLabel(QString::fromLatin1(r.title), this), row, 0);
        values()->addWidget(r.value, row, 1);
        if (r.unit) values()->addWidget(r.unit, row, 2);
        follow(QString::fromLatin1(r.title), r.value, r.unit);
        ++row;
    }
}

void SensorWindow::prepare() {
    unit_->setText(pressureUnit());
    Read_TempUnit();
}

void SensorWindow::Read_TempUnit() {
    const QString code = ParameterValue(askAlone(QStringLiteral("TU"), false));
    tempUnit_->setText(code == QStringLiteral("1") ? QStringLiteral("deg F") : Celsius);
}

bool SensorWindow::pass() {
    return !exiting() && readInto(QStringLiteral("P3"), pressure_, true, true) &&
           readInto(QStringLiteral("Q3"), temperature_, false, true) &&
           readInto(QStringLiteral("P1"), pressurePeriod_, false, true) &&
           readInto(QStringLiteral("Q1"), temperaturePeriod_, false, true);
}

void installSensorWindow(PageHost& host) {
    host.onAction(QStringLiteral("mnuSensor"),
                  [&host] { runLiveWindow(host, [&host] { return std::make_unique<SensorWindow>(host); }); });
}

} // namespace cvi
