#pragma once

#include "Operator.h"

class QDialog;

namespace cvi {

// The operator as the windows see him: message and input boxes, and the program's own modal
// dialogs, which production shows with exec() and tests drive from a script.
class WindowOperator : public Operator {
public:
    // Runs one of the program's own modal dialogs and returns its result code.
    virtual int runModal(QDialog& dialog) = 0;
};

} // namespace cvi
