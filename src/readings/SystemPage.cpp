#include "SystemPage.h"

namespace cvi {

void installSystemPage(PageHost&) {}

} // namespace cvi
