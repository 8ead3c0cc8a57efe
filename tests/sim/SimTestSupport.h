// Common ground of the tests that run against simulated cameras: every test leaves no camera
// attached behind it, and gets a shared device table of its own. Simulated cameras never enter
// the shared table, but the tests count on a machine without cameras: a private table keeps out
// whatever the machine's table holds, and lets the tests of the shared table's rules put
// machine-wide simulated cameras there without meeting CTest's parallel test processes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/FileMapping.h"
#include "sim/SimHub.h"
#include "transport/Fx3Api.h"

namespace velcor::testing {

inline std::string UniqueTableName() {
    static int serial = 0;
    return "R3U2-MemMap-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
}

// The machine-wide device table as it is in the mapping now.
inline SharedDeviceTable SharedTableNow() {
    bool existed = false;
    auto mapping = platform::FileMapping::OpenOrCreate(CFx3Api::TableName(),
                                                       sizeof(SharedDeviceTable), &existed);
    SharedDeviceTable table{};
    if (mapping != nullptr) std::memcpy(&table, mapping->View(), sizeof table);
    return table;
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
    // A simulated camera that presents itself as a device of the whole machine: its entry goes
    // to the table that processes share.
    static int AttachMachineWide(uint16_t productId, const std::string& serial) {
        sim::SimCameraConfig config;
        config.machineWide = true;
        return Attach(productId, serial, config);
    }
    static std::shared_ptr<sim::SimCamera> Camera(int id) {
        return sim::SimHub::Instance().Find(id);
    }
    static bool Detach(int id) { return sim::SimHub::Instance().Detach(id); }
};

}  // namespace velcor::testing
