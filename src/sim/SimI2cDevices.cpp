#include "sim/SimI2cDevices.h"

#include "protocol/FpgaRegisterMap.h"

namespace velcor::sim {

FpgaRegisterFile::FpgaRegisterFile() = default;

bool FpgaRegisterFile::Write(const uint8_t* data, int length) {
    if (length < 1) return false;
    pointer_ = data[0];
    for (int i = 1; i + 1 < length; i += 2) {
        const uint8_t reg = pointer_++;
        const uint8_t value = data[i + 1];
        const fpga::RegisterInfo* info = fpga::FindRegister(reg);
        if (info == nullptr || (info->access & fpga::kWrite) != 0) registers_[reg] = value;
        if (observer_) observer_(reg, value);
    }
    return true;
}

bool FpgaRegisterFile::Read(uint8_t* data, int length) {
    for (int i = 0; i < length; ++i) {
        if (i % 2 == 0) {
            data[i] = 0;
            continue;
        }
        const uint8_t reg = static_cast<uint8_t>(pointer_ + i / 2);
        if (readObserver_) readObserver_(reg);
        uint8_t value = registers_[reg];
        if (reg == fpga::kSensorBusStatus && busyReads_ > 0) {
            --busyReads_;
            value = 1;
        }
        data[i] = value;
    }
    return true;
}

Eeprom::Eeprom() : bytes_(0x10000, 0xFF) {}

bool Eeprom::Write(const uint8_t* data, int length) {
    if (length < 2) return false;
    pointer_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
    for (int i = 2; i < length; ++i)
        bytes_[pointer_++] = data[i];
    return true;
}

bool Eeprom::Read(uint8_t* data, int length) {
    for (int i = 0; i < length; ++i)
        data[i] = bytes_[pointer_++];
    return true;
}

bool ByteRegisterChip::Write(const uint8_t* data, int length) {
    if (length < 1) return false;
    pointer_ = data[0];
    for (int i = 1; i < length; ++i)
        registers_[pointer_++] = data[i];
    return true;
}

bool ByteRegisterChip::Read(uint8_t* data, int length) {
    for (int i = 0; i < length; ++i)
        data[i] = registers_[pointer_++];
    return true;
}

SimSensor::SimSensor() : registers_(0x10000, 0) {}

bool SimSensor::Write(const uint8_t* data, int length) {
    if (length < 2) return false;
    pointer_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
    for (int i = 2; i < length; ++i)
        registers_[pointer_++] = data[i];
    return true;
}

bool SimSensor::Read(uint8_t* data, int length) {
    for (int i = 0; i < length; ++i)
        data[i] = registers_[pointer_++];
    return true;
}

bool SimSensor::WriteRegister16(uint16_t address, uint16_t value) {
    registers16_[address] = value;
    return true;
}

bool SimSensor::ReadRegister16(uint16_t address, uint16_t* value) {
    auto found = registers16_.find(address);
    *value = found != registers16_.end() ? found->second : 0;
    return true;
}

void SimSensor::RenderFrame(uint32_t width, uint32_t /*height*/, uint32_t bytesPerPixel,
                            uint32_t frameNumber, uint8_t* out, size_t bytes) {
    const size_t stride = static_cast<size_t>(width) * bytesPerPixel;
    for (size_t i = 0; i < bytes; ++i) {
        const size_t row = stride != 0 ? i / stride : 0;
        const size_t column = stride != 0 ? i % stride : i;
        out[i] = static_cast<uint8_t>(row + column / bytesPerPixel + frameNumber);
    }
}

}  // namespace velcor::sim
