#pragma once

#include "ResponseLog.h"

#include <QString>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace cvi {

class PageHost;

// A plain caption beside a box.
QLabel* fieldCaption(const QString& text, QWidget* parent);
// A titled frame of a page with a grid of caption and box rows, aligned to the top.
QGroupBox* boxFrame(const QString& name, const QString& title, QWidget* parent);

// The row every parameter page begins with: the "Instrument ID" list and its Start button, the
// "Command" label, an optional extra button, and the "Response" log.
struct PageHeader {
    QGridLayout* layout = nullptr;
    QComboBox* ids = nullptr;
    QPushButton* start = nullptr;
    QLabel* command = nullptr;
    ResponseLog* log = nullptr;

    struct Names {
        QString ids, start, command, log;
    };
    static PageHeader build(PageHost& main, QWidget* page, const Names& names, qint16& counter,
                            const ResponseLog::Rules& rules, QWidget* extra = nullptr);
};

} // namespace cvi
