#include "Params.h"

#include "CalibrationPage.h"
#include "ConfigurationPage.h"
#include "PageHost.h"

namespace cvi {

void installParameterPages(PageHost& host) {
    auto* configuration = new ConfigurationPage(host);
    host.setPage(PageHost::Configuration, configuration);
    host.registerIdList(PageHost::Configuration, configuration->idList());

    auto* calibration = new CalibrationPage(host);
    host.setPage(PageHost::Calibration, calibration);
    host.registerIdList(PageHost::Calibration, calibration->idList());
}

} // namespace cvi
