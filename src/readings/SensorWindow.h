#pragma once

#include "LiveWindow.h"

namespace cvi {

// "Sensor Readings": one instrument's pressure, internal temperature, pressure period and
// temperature period, read in turn with P3, Q3, P1 and Q1.
class SensorWindow : public LiveWindow {
    Q_OBJECT
public:
    explicit SensorWindow(PageHost& host);

    // The temperature unit: TU "1" shows "deg F", anything else "deg C".
    void Read_TempUnit();

private:
    void prepare() override;
    bool pass() override;

    QLabel* pressure_ = nullptr;
    QLabel* unit_ = nullptr;
    QLabel* temperature_ = nullptr;
    QLabel* tempUnit_ = nullptr;
    QLabel* pressurePeriod_ = nullptr;
    QLabel* temperaturePeriod_ = nullptr;
};

// mnuSensor: runs the Sensor Readings window.
void installSensorWindow(PageHost& host);

} // namespace cvi
