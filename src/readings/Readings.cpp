#include "Readings.h"

#include "Atmo3Display.h"
#include "Atmo3Page.h"
#include "LoopOverview.h"
#include "PageHost.h"
#include "PressureWindow.h"
#include "SamplingPage.h"
#include "SensorWindow.h"
#include "SystemPage.h"

namespace cvi {

void installReadingPages(PageHost& host) {
    installSamplingPage(host);
    const CommandBox atmo3Command = installAtmo3Page(host);
    installSystemPage(host, atmo3Command);
    installPressureWindow(host);
    installSensorWindow(host);
    installAtmo3Display(host);
    installLoopOverview(host);
}

} // namespace cvi
