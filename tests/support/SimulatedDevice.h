#pragma once

#include "devsim/DeviceSimulator.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace orvanta::testing {

// A simulator started with its link at linkPath; a failed start fails the test.
inline std::unique_ptr<devsim::DeviceSimulator> StartDevice(devsim::SimulatorOptions options,
                                                            const std::string& linkPath) {
    options.linkPath = linkPath;
    auto simulator = std::make_unique<devsim::DeviceSimulator>(std::move(options));
    std::string error;
    if (!simulator->Start(error)) {
        ADD_FAILURE() << "simulator: " << error;
    }
    return simulator;
}

} // namespace orvanta::testing
