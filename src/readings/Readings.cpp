#include "Readings.h"

#include "Atmo3Page.h"
#include "PageHost.h"
#include "SamplingPage.h"
#include "SystemPage.h"

namespace cvi {

void installReadingPages(PageHost& host) {
    installSamplingPage(host);
    installSystemPage(host);
    installAtmo3Page(host);
}

} // namespace cvi
