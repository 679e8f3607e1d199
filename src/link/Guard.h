#pragma once

#include "Operator.h"
#include "Pointer.h"
#include "SerialPort.h"

#include <exception>
#include <functional>

namespace cvi {

// Runs an operator's action (a click, a menu item) so that a failing port never escapes into
// the event loop: the pointer is restored and the operator is told what went wrong. A port that
// was already reported lost is not reported again.
inline bool guarded(Operator& op, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const PortError& e) {
        normalPointer();
        if (e.kind() == PortError::Kind::NotOpen || e.kind() == PortError::Kind::DeviceLost) return false;
        op.message(e.text(), QStringLiteral("Communication Error"), Operator::Icon::Exclamation);
    } catch (const std::exception& e) {
        normalPointer();
        op.message(QString::fromLocal8Bit(e.what()), QStringLiteral("Error"), Operator::Icon::Exclamation);
    }
    return false;
}

} // namespace cvi
