#include "Params.h"

#include "CalibrationPage.h"
#include "ConfigurationPage.h"
#include "MainWindow.h"

namespace cvi {

void installParameterPages(MainWindow& main) {
    auto* configuration = new ConfigurationPage(main);
    main.setPage(MainWindow::PageConfiguration, configuration);
    main.registerIdList(MainWindow::PageConfiguration, configuration->idList());
    QObject::connect(&main, &MainWindow::linkSettingsChanged, configuration,
                     &ConfigurationPage::showLinkSettings);

    auto* calibration = new CalibrationPage(main);
    main.setPage(MainWindow::PageCalibration, calibration);
    main.registerIdList(MainWindow::PageCalibration, calibration->idList());
}

} // namespace cvi
