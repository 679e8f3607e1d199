#include "SamplingPage.h"

namespace cvi {

void installSamplingPage(PageHost&) {}

} // namespace cvi
