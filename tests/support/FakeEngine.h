// An engine with fixed, inspectable answers for tests of the camera object while the camera
// object cannot reach a simulated camera. It holds the values a ROZE9701 camera would report.
#pragma once

#include <atomic>
#include <map>

#include "engine/VelcorR3U2Base.h"

namespace velcor::test {

struct FakeEngineState {
    int devices = 1;
    int colourSensor = 0;
    int allows8Bit = 1;
    int windowSupported = 1;
    int exposure = 100;
    int globalGain = 0;
    int blackLevel = 0;
    int fixedExposure = 0;
    int setCalls = 0;
    bool eepromSticks = true;
    std::map<int, uint8_t> eeprom;
};

class FakeEngine : public CVelcorR3U2Base {
  public:
    explicit FakeEngine(FakeEngineState* state) : s_(state) {}

    int InitializeController(HWND, const platform::GUID*) override { return 1; }
    int CountDevices(int) override { return s_->devices; }
    int IsDevicePresent(int n) override { return n >= 0 && n < s_->devices; }
    int OpenDevice(int n) override { return IsDevicePresent(n); }
    int GetMaxDevices() override { return 32; }
    int IsHWindowSupported() override { return s_->windowSupported; }
    int IsVWindowSupported() override { return s_->windowSupported; }
    int ApplyWindow(int, int, int, int, int) override { return 1; }
    int Allows8BitOutput() override { return s_->allows8Bit; }
    int IsColourSensor() override { return s_->colourSensor; }
    int GetGlobalGainMin() override { return 0; }
    int GetGlobalGainMax() override { return 480; }
    int SetGlobalGain(int g) override { return ++s_->setCalls, s_->globalGain = g, 1; }
    int GetGlobalGain() override { return s_->globalGain; }
    int GetColourGainMin() override { return 0; }
    int GetColourGainMax() override { return 255; }
    int SetColourGainRed(int) override { return 1; }
    int GetExposureMin() override { return 1; }
    int GetExposureMax() override { return 20000; }
    int SetExposure(uint32_t e) override { return s_->exposure = static_cast<int>(e), 1; }
    int GetExposure() override { return s_->exposure; }
    int IsExposureSecondsSupported() override { return 1; }
    int SetExposureSeconds(double sec) override {
        if (sec < 0.0001 || sec > 2.0) return 0;
        s_->exposure = static_cast<int>(sec * 10000.0);
        return 1;
    }
    int GetExposureSeconds(double* sec) override { return *sec = s_->exposure / 10000.0, 1; }
    int GetExposureSecondsMin(double* sec) override { return *sec = 0.0001, 1; }
    int GetExposureSecondsMax(double* sec) override { return *sec = 2.0, 1; }
    int IsBlackLevelSupported() override { return 1; }
    int SetBlackLevel(int level) override { return s_->blackLevel = level, level <= 255; }
    int GetBlackLevel(int* level) override { return *level = s_->blackLevel, 1; }
    int IsFixedExposureSupported() override { return 1; }
    int SetFixedExposure(int on) override { return s_->fixedExposure = on, 1; }
    int GetFixedExposure(int* on) override { return *on = s_->fixedExposure, 1; }
    int ReadEeprom(uint16_t address, uint8_t* value) override {
        auto found = s_->eeprom.find(address);
        *value = found == s_->eeprom.end() ? 0xFF : found->second;
        return 1;
    }
    int WriteEeprom(uint16_t address, uint8_t value) override {
        s_->eeprom[address] = s_->eepromSticks ? value : static_cast<uint8_t>(value ^ 1);
        return 1;
    }

  private:
    FakeEngineState* s_;
};

}  // namespace velcor::test
