#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "protocol/FpgaRegisterMap.h"
#include "protocol/SensorRegisterLayout.h"
#include "sim/SimTestSupport.h"
#include "transport/DevIz3Cam.h"

namespace velcor {
namespace {

using testing::SimTest;

constexpr uint32_t kFrameBytes = 1280 * 1024;

class Controller : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(productId_, "R1");
        ASSERT_GT(id_, 0);
        cam_ = std::make_unique<CDevIz3Cam>();
        ASSERT_EQ(cam_->EnumerateDevices(), 1);
        ASSERT_EQ(cam_->SelectDevice(0), 1);
        ASSERT_EQ(cam_->Prepare(), 1);
        sim_ = Camera(id_);
        sim_->ClearTrace();
    }
    void TearDown() override {
        cam_.reset();
        SimTest::TearDown();
    }
    const sim::ControlSetup& LastControl() {
        trace_ = sim_->Trace();
        EXPECT_FALSE(trace_.control.empty());
        return trace_.control.back();
    }

    uint16_t productId_ = 0x32C0;
    int id_ = 0;
    std::unique_ptr<CDevIz3Cam> cam_;
    std::shared_ptr<sim::SimCamera> sim_;
    sim::SimTrace trace_;
};

TEST_F(Controller, IsAnFx3ApiFirstAndAControllerSecond) {
    CControllerBase* base = cam_.get();
    CFx3Api* api = cam_.get();
    EXPECT_EQ(static_cast<void*>(api), static_cast<void*>(cam_.get()));
    EXPECT_NE(static_cast<void*>(base), static_cast<void*>(cam_.get()));
    EXPECT_EQ(base->Reserved(), 0);
}

TEST_F(Controller, ReadsTheFpgaVersionFromTwoRegisters) {
    sim_->SetFpgaRegister(fpga::kVersionLow, 0x34);
    sim_->SetFpgaRegister(fpga::kVersionHigh, 0x12);
    uint16_t version = 0;
    EXPECT_EQ(cam_->ReadFpgaVersion(&version), 1);
    EXPECT_EQ(version, 0x1234);
}

TEST_F(Controller, EveryVendorRequestCarriesTheWholeRecordLength) {
    uint8_t byte = 0;
    uint16_t word = 0;
    uint8_t info[64];
    cam_->WriteFpgaRegister(7, 1);
    cam_->ReadRegister16(3, &word);
    cam_->WriteSensorRegister16(0x3004, 0x1234);
    cam_->ReadSensorRegister16(0x3004, &word);
    cam_->SetFirmwareByte(5);
    cam_->GetFirmwareByte(&byte);
    cam_->ReadDeviceInfo(info);
    cam_->ReadDeviceInfo2(info);
    cam_->ReadReadyState(&byte);
    cam_->ResetStreamState();
    cam_->ResetEndpoints();
    const auto trace = sim_->Trace();
    ASSERT_EQ(trace.control.size(), 11u);
    const uint8_t expected[11][2] = {{0x40, 0x30}, {0xC0, 0xD1}, {0x40, 0x3E}, {0xC0, 0x3F},
                                     {0x40, 0x3C}, {0xC0, 0x3D}, {0xC0, 0xB0}, {0xC0, 0xB1},
                                     {0xC0, 0xC3}, {0x40, 0xC0}, {0x42, 0xCC}};
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(trace.control[i].requestType, expected[i][0]) << i;
        EXPECT_EQ(trace.control[i].request, expected[i][1]) << i;
        EXPECT_EQ(trace.control[i].length, 0x66) << i;
    }
}

TEST_F(Controller, WriteRegister32SplitsTheAddress) {
    ASSERT_EQ(cam_->WriteRegister32(0x8005, 0xA1B2C3D4), 1);
    const sim::ControlSetup& setup = LastControl();
    EXPECT_EQ(setup.request, 0xD0);
    EXPECT_EQ(setup.value, 1);
    EXPECT_EQ(setup.index, 5);
    EXPECT_EQ(sim_->Register32(0x8005), 0xA1B2C3D4u);

    ASSERT_EQ(cam_->WriteRegister32(0x0012, 0x00015678), 1);
    uint16_t value = 0xFFFF;
    ASSERT_EQ(cam_->ReadRegister16(0x0012, &value), 1);
    EXPECT_EQ(value, 0x5678);
}

TEST_F(Controller, I2cRefusesMoreThan64BytesWithoutARequest) {
    uint8_t data[65] = {};
    EXPECT_EQ(cam_->I2cWrite(0x48, data, 65, 3000), 0);
    EXPECT_EQ(cam_->I2cRead(0x48, data, 65, 3000), 0);
    EXPECT_TRUE(sim_->Trace().control.empty());
    EXPECT_EQ(cam_->I2cWrite(0x48, data, 64, 3000), 1);
    EXPECT_EQ(cam_->I2cRead(0x48, data, 64, 3000), 1);
}

TEST_F(Controller, I2cCarriesLengthAndBusAddress) {
    const uint8_t write[3] = {0x01, 0x04, 0x9C};  // sensor register 0x0104 = 0x9C
    ASSERT_EQ(cam_->I2cWrite(0x48, write, 3, 3000), 1);
    EXPECT_EQ(LastControl().value, 3);
    EXPECT_EQ(LastControl().index, 0x48);
    EXPECT_EQ(sim_->SensorRegister(0x0104), 0x9C);

    const uint8_t address[2] = {0x01, 0x04};
    ASSERT_EQ(cam_->I2cWrite(0x48, address, 2, 3000), 1);
    uint8_t read = 0;
    ASSERT_EQ(cam_->I2cRead(0x48, &read, 1, 3000), 1);
    EXPECT_EQ(LastControl().index, 0x49) << "the read address has bit 0 set";
    EXPECT_EQ(read, 0x9C);
}

TEST_F(Controller, AbsentBusAddressAndNackFail) {
    const uint8_t data[2] = {0, 0};
    EXPECT_EQ(cam_->I2cWrite(0x20, data, 2, 3000), 0);
    uint8_t value = 0;
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::I2cNack, 1));
    EXPECT_EQ(cam_->ReadFpgaRegister(fpga::kIoPort, &value), 0);
    EXPECT_EQ(cam_->ReadFpgaRegister(fpga::kIoPort, &value), 1);
    sim_->SetBusDevicePresent(0x5A, false);
    EXPECT_EQ(cam_->WriteAuxRegister(1, 2), 0);
}

TEST_F(Controller, FpgaRegistersUseTheirThreeByteProtocol) {
    ASSERT_EQ(cam_->WriteFpgaRegister(fpga::kIoPort, 0x5A), 1);
    EXPECT_EQ(sim_->FpgaRegister(fpga::kIoPort), 0x5A);
    uint8_t value = 0;
    ASSERT_EQ(cam_->ReadFpgaRegister(fpga::kIoPort, &value), 1);
    EXPECT_EQ(value, 0x5A);
    const auto trace = sim_->Trace();
    ASSERT_EQ(trace.control.size(), 3u) << "write; then address and read";
    EXPECT_EQ(trace.control[0].value, 3);
    EXPECT_EQ(trace.control[1].value, 1);
    EXPECT_EQ(trace.control[2].value, 2);
    EXPECT_EQ(trace.control[2].index, 0x41);
}

TEST_F(Controller, FpgaReadPairsAreNeverSplitBetweenThreads) {
    sim_->SetFpgaRegister(fpga::kIoPort, 0x11);
    sim_->SetFpgaRegister(fpga::kPowerSwitch, 0x22);
    std::atomic<int> wrong{0};
    auto reader = [&](uint8_t reg, uint8_t expected) {
        for (int i = 0; i < 300; ++i) {
            uint8_t value = 0;
            if (!cam_->ReadFpgaRegister(reg, &value) || value != expected) ++wrong;
        }
    };
    std::thread a(reader, fpga::kIoPort, 0x11);
    std::thread b(reader, fpga::kPowerSwitch, 0x22);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(Controller, BusyFaultShowsInRegisterTwo) {
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::FpgaBusy, 2));
    uint8_t value = 0;
    for (int expected : {1, 1, 0}) {
        ASSERT_EQ(cam_->ReadFpgaRegister(fpga::kSensorBusStatus, &value), 1);
        EXPECT_EQ(value, expected);
    }
}

TEST_F(Controller, ControlFaultFailsTheNextRequestsOnly) {
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::ControlFails, 1));
    uint8_t value = 0;
    EXPECT_EQ(cam_->GetFirmwareByte(&value), 0);
    EXPECT_EQ(cam_->SetFirmwareByte(0x42), 1);
    EXPECT_EQ(cam_->GetFirmwareByte(&value), 1);
    EXPECT_EQ(value, 0x42);
}

TEST_F(Controller, AuxAndSensorRegisters) {
    ASSERT_EQ(cam_->WriteAuxRegister(0x10, 0x77), 1);
    EXPECT_EQ(sim_->AuxRegister(0x10), 0x77);
    uint8_t aux = 0;
    ASSERT_EQ(cam_->ReadAuxRegister(0x10, &aux), 1);
    EXPECT_EQ(aux, 0x77);

    ASSERT_EQ(cam_->WriteSensorRegister16(0x3012, 0xBEEF), 1);
    uint16_t sensor = 0;
    ASSERT_EQ(cam_->ReadSensorRegister16(0x3012, &sensor), 1);
    EXPECT_EQ(sensor, 0xBEEF);
}

TEST_F(Controller, InformationBlocksAndReadyState) {
    uint8_t info[64] = {};
    ASSERT_EQ(cam_->ReadDeviceInfo(info), 1);
    uint16_t firmware;
    std::memcpy(&firmware, info + 24, 2);
    EXPECT_EQ(firmware, sim_->Config().firmwareVersion);
    uint8_t ready = 0;
    ASSERT_EQ(cam_->ReadReadyState(&ready), 1);
    EXPECT_EQ(ready, 1);
    uint32_t speed = 0;
    ASSERT_EQ(cam_->GetUsbSpeed(&speed), 1);
    EXPECT_EQ(speed, 4u);
}

TEST_F(Controller, EepromHoldsTheSerialAndPausesForTheChip) {
    platform::VirtualTimeScope virtualTime;
    std::string serial;
    for (uint16_t a = rom::kSerialNumber; a < rom::kSerialNumber + rom::kSerialNumberLength; ++a) {
        uint8_t byte = 0;
        ASSERT_EQ(cam_->ReadEeprom(a, &byte), 1);
        if (byte == 0xFF) break;
        serial += static_cast<char>(byte);
    }
    EXPECT_EQ(serial, "R1");

    const uint64_t before = platform::VirtualMillisecondsSlept();
    ASSERT_EQ(cam_->WriteEeprom(0x0123, 0x5C), 1);
    EXPECT_EQ(platform::VirtualMillisecondsSlept() - before, 14u);
    uint8_t byte = 0;
    ASSERT_EQ(cam_->ReadEeprom(0x0123, &byte), 1);
    EXPECT_EQ(byte, 0x5C);
    EXPECT_EQ(platform::VirtualMillisecondsSlept() - before, 24u);
    EXPECT_EQ(sim_->EepromByte(0x0124), 0xFF) << "blank bytes";
}

TEST_F(Controller, SelectDeviceNeedsAnAnsweringDevice) {
    EXPECT_EQ(cam_->SelectDevice(1), 0);
    EXPECT_EQ(cam_->DeviceIndex(), 0);
    ASSERT_TRUE(Detach(id_));
    EXPECT_EQ(cam_->SelectDevice(0), 0);
    uint8_t value = 0;
    EXPECT_EQ(cam_->ReadFpgaRegister(fpga::kIoPort, &value), 0) << "no handle, no request";
}

TEST_F(Controller, BulkNeedsPrepareAndRefusesMoreThan64MiB) {
    CDevIz3Cam fresh;
    ASSERT_EQ(fresh.EnumerateDevices(), 1);
    ASSERT_EQ(fresh.OpenStream(), 1);
    uint8_t data[64];
    uint32_t count = 7;
    EXPECT_EQ(fresh.TransferWithTimeout(fresh.StreamHandle(), data, 64, 0x81, &count, 10), 0);
    EXPECT_EQ(fresh.BufferedRead(fresh.StreamHandle(), data, 64, 0x81, &count), 0);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(cam_->OpenStream(), 1);
    EXPECT_EQ(cam_->BufferedRead(cam_->StreamHandle(), data, CDevIz3Cam::kMaxBufferedLength + 1,
                                 0x81, &count),
              0);
    EXPECT_EQ(sim_->Trace().bulkTransfers.size(), 0u);
}

TEST_F(Controller, BufferedReadCopiesTheData) {
    ASSERT_EQ(cam_->OpenStream(), 1);
    ASSERT_EQ(cam_->RequestFrame(cam_->StreamHandle()), 1);
    uint8_t header[64] = {};
    uint32_t count = 0;
    ASSERT_EQ(cam_->BufferedRead(cam_->StreamHandle(), header, 64, 0x81, &count), 1);
    EXPECT_EQ(count, 64u);
    uint32_t bytes;
    std::memcpy(&bytes, header + 16, 4);
    EXPECT_EQ(bytes, kFrameBytes);
}

TEST_F(Controller, ReadsAFrameHeaderAndItsData) {
    FrameRequest request{};
    std::vector<uint8_t> frame(kFrameBytes + 100, 0xEE);
    request.buffer = frame.data();
    request.capacity = kFrameBytes;
    ASSERT_EQ(cam_->ReadFrameHeader(&request), 1);
    EXPECT_EQ(request.HeaderByteCount(), kFrameBytes);
    EXPECT_EQ(request.slot, sim_->FpgaRegister(fpga::kNewestSlotLow));
    ASSERT_EQ(cam_->ReadFrameData(&request, 3000), 1);
    EXPECT_EQ(frame[kFrameBytes], 0xEE) << "nothing beyond the frame";

    // The same frame sits in its slot of frame memory.
    std::vector<uint8_t> stored(kFrameBytes);
    sim_->ReadFrameMemory(uint64_t{request.slot} * sim_->Config().slotSizeUnits * 256,
                          stored.data(), stored.size());
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), frame.begin()));
    const auto trace = sim_->Trace();
    EXPECT_EQ(trace.bulkTransfers.at(0x81), 1u + 3u) << "header, then 512 KiB pieces";
}

TEST_F(Controller, OversizedHeaderIsRefusedWithoutATransfer) {
    FrameRequest request{};
    std::vector<uint8_t> frame(1000);
    request.buffer = frame.data();
    request.capacity = 1000;
    ASSERT_EQ(cam_->ReadFrameHeader(&request), 1);
    const uint32_t before = sim_->Trace().bulkTransfers.at(0x81);
    EXPECT_EQ(cam_->ReadFrameData(&request, 3000), 0);
    EXPECT_EQ(sim_->Trace().bulkTransfers.at(0x81), before);
}

TEST_F(Controller, LostHeadersAreRetriedWithFrameReleasePulses) {
    platform::VirtualTimeScope virtualTime;
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::BulkStatus, 29));
    FrameRequest request{};
    ASSERT_EQ(cam_->ReadFrameHeader(&request), 1) << "the 30th attempt succeeds";
    auto trace = sim_->Trace();
    EXPECT_EQ(trace.framesRequested, 30u);
    int pulses = 0;
    for (size_t i = 0; i + 1 < trace.fpgaWrites.size(); ++i) {
        if (trace.fpgaWrites[i] == std::make_pair(fpga::kFrameRelease, uint8_t{1}) &&
            trace.fpgaWrites[i + 1] == std::make_pair(fpga::kFrameRelease, uint8_t{0})) {
            ++pulses;
        }
    }
    EXPECT_EQ(pulses, 29);
    EXPECT_EQ(request.HeaderByteCount(), kFrameBytes) << "resynchronised on a real header";

    cam_->CloseStream();
    sim_->ClearTrace();
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::BulkStatus, 30));
    EXPECT_EQ(cam_->ReadFrameHeader(&request), 0);
    EXPECT_EQ(sim_->Trace().framesRequested, 30u);
    EXPECT_EQ(cam_->StreamHandle(), nullptr) << "opened here, closed on failure";
}

TEST_F(Controller, FailedFrameRequestStopsTheHeaderReadAtOnce) {
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::ControlFails, 1));
    FrameRequest request{};
    EXPECT_EQ(cam_->ReadFrameHeader(&request), 0);
    EXPECT_EQ(sim_->Trace().bulkTransfers.count(0x81), 0u);
}

TEST_F(Controller, StalledTransferIsAbortedAndReleased) {
    ASSERT_EQ(cam_->OpenStream(), 1);
    ASSERT_EQ(cam_->RequestFrame(cam_->StreamHandle()), 1);
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::BulkStalls, 1));
    uint8_t header[64];
    uint32_t count = 99;
    EXPECT_EQ(cam_->TransferWithTimeout(cam_->StreamHandle(), header, 64, 0x81, &count, 50), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(DirectTransferRecord::Live(), 0);
    EXPECT_EQ(sim_->PendingTransfers(), 0u);
    EXPECT_GE(sim_->Trace().aborts, 1u);
    // The header it stalled on is still there for the next read.
    EXPECT_EQ(cam_->TransferWithTimeout(cam_->StreamHandle(), header, 64, 0x81, &count, 50), 1);
    EXPECT_EQ(count, 64u);
}

TEST_F(Controller, StalledHeaderIsRecovered) {
    platform::VirtualTimeScope virtualTime;
    ASSERT_TRUE(sim_->InjectFault(sim::SimFault::BulkStalls, 1));
    FrameRequest request{};
    ASSERT_EQ(cam_->ReadFrameHeader(&request), 1);
    EXPECT_EQ(request.HeaderByteCount(), kFrameBytes);
    EXPECT_EQ(sim_->Trace().framesRequested, 2u);
}

TEST_F(Controller, AbortStreamCancelsAPendingReadFromAnotherThread) {
    ASSERT_EQ(cam_->OpenStream(), 1);
    int result = -1;
    std::thread reader([&] {
        uint8_t data[64];
        uint32_t count = 0;
        result = cam_->TransferWithTimeout(cam_->StreamHandle(), data, 64, 0x81, &count,
                                           platform::kInfinite - 1);
    });
    while (sim_->PendingTransfers() == 0)
        std::this_thread::yield();
    EXPECT_EQ(cam_->AbortStream(), 1);
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(DirectTransferRecord::Live(), 0);
}

TEST_F(Controller, DetachDuringAPendingReadFailsIt) {
    ASSERT_EQ(cam_->OpenStream(), 1);
    int result = -1;
    std::thread reader([&] {
        FrameRequest request{};
        std::vector<uint8_t> frame(64);
        request.buffer = frame.data();
        request.capacity = 64;
        std::memset(request.header, 0, 64);
        request.header[16] = 64;
        result = cam_->ReadFrameData(&request, 60000);
    });
    while (sim_->PendingTransfers() == 0)
        std::this_thread::yield();
    ASSERT_TRUE(Detach(id_));
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(cam_->OpenStream(), 1) << "the stream handle stays until it is closed";
    EXPECT_EQ(cam_->CloseStream(), 1);
    EXPECT_EQ(cam_->OpenStream(), 0) << "an unplugged camera cannot be opened";
}

TEST_F(Controller, WriteMemoryOfOnePageSendsTwo) {
    std::vector<uint8_t> data(4096);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(cam_->WriteMemory(0x100000, data.data(), 4096), 1);
    const auto trace = sim_->Trace();
    ASSERT_EQ(trace.memoryCommands.size(), 1u);
    EXPECT_TRUE(trace.memoryCommands[0].write);
    EXPECT_EQ(trace.memoryCommands[0].address, 0x100000u);
    EXPECT_EQ(trace.memoryCommands[0].length, 8192u);
    EXPECT_EQ(trace.bulkBytes.at(0x01), 32u + 8192u);

    std::vector<uint8_t> stored(8192, 0xAA);
    sim_->ReadFrameMemory(0x100000, stored.data(), stored.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), stored.begin()));
    EXPECT_EQ(stored[4096], 0) << "the padding page is not read from beyond the caller's data";
}

TEST_F(Controller, ReadMemoryNeverWritesBeyondTheCallersBuffer) {
    std::vector<uint8_t> pattern(8192);
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(i + 3);
    sim_->WriteFrameMemory(0x4000, pattern.data(), pattern.size());
    std::vector<uint8_t> buffer(5000 + 16, 0xEE);
    ASSERT_EQ(cam_->ReadMemory(0x4000, buffer.data(), 5000), 1);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 5000, pattern.begin()));
    EXPECT_EQ(buffer[5000], 0xEE);
    EXPECT_EQ(sim_->Trace().memoryCommands.at(0).length, 8192u);
    EXPECT_EQ(sim_->Trace().bulkBytes.at(0x81), 8192u);
}

TEST_F(Controller, MemoryMovesIn16MiBPiecesAndIgnoresHugeLengths) {
    std::vector<uint8_t> data(0x1000000 + 1, 0x5A);
    ASSERT_EQ(cam_->WriteMemory(0x20000000, data.data(), data.size()), 1);
    const auto trace = sim_->Trace();
    ASSERT_EQ(trace.memoryCommands.size(), 2u);
    EXPECT_EQ(trace.memoryCommands[0].length, 0x1000000u);
    EXPECT_EQ(trace.memoryCommands[1].address, 0x21000000u);
    EXPECT_EQ(trace.memoryCommands[1].length, 0x1000u);

    sim_->ClearTrace();
    uint8_t byte = 0;
    EXPECT_EQ(cam_->ReadMemory(0, &byte, 0xFFFFF000u), 1);
    EXPECT_TRUE(sim_->Trace().memoryCommands.empty());
}

TEST_F(Controller, ReadsAFrameBackFromItsMemorySlot) {
    ASSERT_EQ(cam_->OpenStream(), 1);
    ASSERT_EQ(cam_->RequestFrame(cam_->StreamHandle()), 1);
    ASSERT_EQ(cam_->ResetStreamState(), 1) << "the streamed copy is not wanted here";
    FrameRequest request{};
    request.slot = sim_->FpgaRegister(fpga::kNewestSlotLow);
    const uint32_t rounded = (kFrameBytes & ~0x3FFFu) + 0x4000;
    std::vector<uint8_t> frame(rounded + 16, 0xEE);
    request.buffer = frame.data();
    request.capacity = rounded;
    uint32_t size = kFrameBytes;
    sim_->ClearTrace();
    ASSERT_EQ(cam_->ReadFrameFromMemory(&request, &size, 1000), 1);
    EXPECT_EQ(size, rounded);
    EXPECT_EQ(frame[rounded], 0xEE);

    std::vector<uint8_t> stored(kFrameBytes);
    const uint64_t address = uint64_t{request.slot} * sim_->Config().slotSizeUnits * 256;
    sim_->ReadFrameMemory(address, stored.data(), stored.size());
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), frame.begin()));

    const auto trace = sim_->Trace();
    ASSERT_FALSE(trace.memoryCommands.empty());
    EXPECT_EQ(trace.memoryCommands[0].address, address);
    EXPECT_EQ(trace.memoryCommands[0].length, 0x400000u < rounded ? 0x400000u : rounded);
    ASSERT_GE(trace.fpgaWrites.size(), 3u);
    EXPECT_EQ(trace.fpgaWrites.front(), std::make_pair(fpga::kMemoryReadPrepare, uint8_t{2}));
    EXPECT_EQ(trace.fpgaWrites[trace.fpgaWrites.size() - 2],
              std::make_pair(fpga::kFrameRelease, uint8_t{1}));
    EXPECT_EQ(trace.fpgaWrites.back(), std::make_pair(fpga::kFrameRelease, uint8_t{0}));
}

class Controller83 : public Controller {
  protected:
    Controller83() { productId_ = 0x3042; }
};

TEST_F(Controller83, ReadsFrameDataAloneFromEndpoint83) {
    // This camera's FPGA takes the frame size from the sensor's window registers, which the
    // bridge relays; the driver would program them at start-up.
    const sensor_bus::RegisterLayout& layout = sensor_bus::LayoutOf(sensor_bus::Wire::I2c16x16);
    ASSERT_EQ(cam_->WriteSensorRegister16(static_cast<uint16_t>(layout.windowWidth), 1280), 1);
    ASSERT_EQ(cam_->WriteSensorRegister16(static_cast<uint16_t>(layout.windowHeight), 1024), 1);
    FrameRequest request{};
    std::vector<uint8_t> frame(kFrameBytes);
    request.buffer = frame.data();
    request.capacity = kFrameBytes;
    request.expectedBytes = kFrameBytes;
    ASSERT_EQ(cam_->ReadFrameData83(&request), 1);
    EXPECT_EQ(sim_->Trace().framesRequested, 1u);

    request.capacity = kFrameBytes - 1;
    EXPECT_EQ(cam_->ReadFrameData83(&request), 0) << "more than the buffer holds is refused";

    request.capacity = kFrameBytes;
    request.expectedBytes = kFrameBytes + 2;
    request.capacity = kFrameBytes + 2;
    frame.resize(kFrameBytes + 2);
    request.buffer = frame.data();
    EXPECT_EQ(cam_->ReadFrameData83(&request), 0) << "a short frame is no frame";
}

}  // namespace
}  // namespace velcor
