#pragma once

#include "LiveWindow.h"

namespace cvi {

// "Pressure": one instrument's pressure in large digits with its unit, read with P3 as fast as
// the instrument answers.
class PressureWindow : public LiveWindow {
    Q_OBJECT
public:
    explicit PressureWindow(PageHost& host);

private:
    // The unit: UN, and for the user unit (code "0") the text read with UM, "?" without one.
    void prepare() override;
    bool pass() override;

    QLabel* pressure_ = nullptr;
    QLabel* unit_ = nullptr;
};

// mnuPressure: runs the Pressure window.
void installPressureWindow(PageHost& host);

} // namespace cvi
