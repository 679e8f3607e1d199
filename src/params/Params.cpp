#include "Params.h"

#include "ConfigSnapshot.h"

#include "CalibrationPage.h"
#include "ConfigurationPage.h"
#include "EditFlow.h"
#include "PageHost.h"

namespace cvi {

void installParameterPages(PageHost& host) {
    // Value boxes of every page (the Atmo3 coefficients too) edit their parameter here.
    host.setValueBoxEditor(
        [](PageHost& h, const PageContext& page, ValueBox* box) { return attachValueBox(h, page, box); });
    auto* configuration = new ConfigurationPage(host);
    host.setPage(PageHost::Configuration, configuration);
    host.registerIdList(PageHost::Configuration, configuration->idList());

    auto* calibration = new CalibrationPage(host);
    host.setPage(PageHost::Calibration, calibration);
    host.registerIdList(PageHost::Calibration, calibration->idList());
    installSnapshots(host);
}

} // namespace cvi
