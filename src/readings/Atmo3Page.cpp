#include "Atmo3Page.h"

namespace cvi {

void installAtmo3Page(PageHost&) {}

} // namespace cvi
