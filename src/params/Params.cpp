#include "Params.h"

#include "MainWindow.h"

namespace cvi {

void installParameterPages(MainWindow&) {}

} // namespace cvi
