#pragma once

#include "PortMap.h"
#include "RealSerialPort.h"
#include "SerialPort.h"

#include <memory>

namespace cvi {

// Makes one serial object per window. The map says which device each COM slot means; the maker
// turns a device name into a backend (the real port, or the simulated loop for "sim").
struct PortFactory {
    PortMap map;
    PortMaker maker = [](const QString&) { return std::make_unique<RealSerialPort>(); };

    std::unique_ptr<SerialPort> create() const { return std::make_unique<RoutedPort>(maker); }
};

} // namespace cvi
