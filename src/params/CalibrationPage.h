#pragma once

#include "EditFlow.h"

#include <QWidget>

class QComboBox;
class QPushButton;

namespace cvi {

class PageHost;
class ResponseLog;

// The "&Calibration" page: one instrument's calibration coefficients, read by Start in a fixed
// order; every coefficient box but TC is edited by a click.
class CalibrationPage : public QWidget {
    Q_OBJECT
public:
    explicit CalibrationPage(PageHost& host);

    QComboBox* idList() const { return ids_; }
    PageContext context() const;

    // cboCalibration: an instrument was chosen.
    void selectInstrument();
    // cmdCalibrationStart: read the page.
    void start();

private:
    void build();
    ValueBox* box(const QString& name) const;

    PageHost& main_;
    QComboBox* ids_ = nullptr;
    QLabel* command_ = nullptr;
    ResponseLog* log_ = nullptr;
    QPushButton* start_ = nullptr;
    QList<ValueBox*> boxes_; // the coefficient boxes and the information boxes
};

} // namespace cvi
