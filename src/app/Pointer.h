#pragma once

#include <Qt>

namespace cvi {

// The mouse pointer of the whole program (the hourglass during exchanges). Setting it again
// replaces the previous shape; it never stacks.
void setPointer(Qt::CursorShape shape);
inline void hourglass() {
    setPointer(Qt::WaitCursor);
}
void normalPointer();
bool pointerIsBusy();

} // namespace cvi
