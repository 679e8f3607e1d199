#pragma once

#include "LiveWindow.h"

namespace cvi {

// "Atmo 3 Meteorological Measurement System Display": the Atmo 3's pressure, air temperature
// and relative humidity, read in turn with P3, TT and RH.
class Atmo3Display : public LiveWindow {
    Q_OBJECT
public:
    explicit Atmo3Display(PageHost& host);

private:
    void prepare() override;
    bool pass() override;

    QLabel* pressure_ = nullptr;
    QLabel* unit_ = nullptr;
    QLabel* temperature_ = nullptr;
    QLabel* humidity_ = nullptr;
};

// mnuAtmo3: runs the meteorological display.
void installAtmo3Display(PageHost& host);

} // namespace cvi
