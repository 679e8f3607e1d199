#include "Program.h"

#include "Discovery.h"
#include "Embedded.h"
#include "Params.h"
#include "Readings.h"
#include "RealSerialPort.h"
#include "Report.h"
#include "Startup.h"
#include "Terminal.h"

namespace cvi {

Program::Program(const CommandLine& options, Runtime& runtime, WindowOperator& op,
                 const QString& programFolder, const QProcessEnvironment& env) {
    state_.ProgramFolder = programFolder;
    ports_.map = options.portMap(env);
    // The simulated loop exists only when some slot is mapped to it.
    if (ports_.map.anySimulated()) simulated_ = std::make_unique<sim::EmbeddedLoop>();
    ports_.maker = [this](const QString& device) -> std::unique_ptr<SerialPort> {
        if (device == PortMap::Simulated) return simulated_ ? simulated_->makePort() : nullptr;
        return std::make_unique<RealSerialPort>();
    };
    main_ = std::make_unique<MainWindow>(state_, runtime, op, ports_);
    StartupSequence::measureScreen(*main_);
    installParameterPages(main_->host());
    installReadingPages(main_->host());
    installTerminalPage(main_->host());
    installDiscovery(main_->host());
    installReport(main_->host());
}

Program::~Program() = default;

bool Program::start(bool splash) {
    StartupSequence startup{*main_, [this] { showStartupDialog(main_->host()); }, splash};
    return startup.run();
}

} // namespace cvi
