#pragma once

#include "Operator.h"
#include "Pointer.h"
#include "SerialPort.h"

#include <exception>
#include <functional>

namespace cvi {

// Runs an operator's action (a click, a menu item) so that a failing port never escapes into
// the event loop: the pointer is restored and the operator is told, once, what went wrong.
inline bool guarded(Operator& op, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const PortError& e) {
        normalPointer();
        op.message(e.text(),
                   e.kind() == PortError::Kind::DeviceLost ? QStringLiteral("Error")
                                                           : QStringLiteral("Communication Error"),
                   Operator::Icon::Exclamation);
    } catch (const std::exception& e) {
        normalPointer();
        op.message(QString::fromLocal8Bit(e.what()), QStringLiteral("Error"), Operator::Icon::Exclamation);
    }
    return false;
}

} // namespace cvi
