// Common ground of the tests that run against simulated cameras: every test gets a device
// table of its own, so CTest's parallel test processes never share one, and leaves no camera
// attached behind it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "sim/SimHub.h"
#include "transport/Fx3Api.h"

namespace velcor::testing {

inline std::string UniqueTableName() {
    static int serial = 0;
    return "R3U2-MemMap-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
}

class SimTest : public ::testing::Test {
  protected:
    void SetUp() override { CFx3Api::SetTableNameForTesting(UniqueTableName()); }
    void TearDown() override { sim::SimHub::Instance().DetachAll(); }

    static int Attach(uint16_t productId, const std::string& serial,
                      sim::SimCameraConfig config = {}) {
        config.productId = productId;
        config.serialNumber = serial;
        return sim::SimHub::Instance().Attach(config);
    }
    static std::shared_ptr<sim::SimCamera> Camera(int id) {
        return sim::SimHub::Instance().Find(id);
    }
    static bool Detach(int id) { return sim::SimHub::Instance().Detach(id); }
};

}  // namespace velcor::testing
