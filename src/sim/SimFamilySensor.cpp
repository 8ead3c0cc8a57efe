#include "sim/SimFamilySensor.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace velcor::sim {

SimFamilySensor::SimFamilySensor(const SimFamilyProduct& product) : product_(product) {
    PowerOn();
}

namespace {

constexpr uint16_t kHeadProducts[] = {0x31E0, 0x32D0};

void PokeCode(SimSensor& sensor, const sensor_bus::Thermometer& thermometer, double celsius) {
    const uint32_t code = thermometer.CodeOf(celsius);
    sensor.Poke(static_cast<uint16_t>(thermometer.low), static_cast<uint8_t>(code));
    sensor.Poke(static_cast<uint16_t>(thermometer.high), static_cast<uint8_t>(code >> 8));
}

}  // namespace

void SimFamilySensor::PowerOn() {
    consoleOut_.clear();
    consoleLine_.clear();
    if (product_.wire == sensor_bus::Wire::I2c16x8) {
        PokeCode(*this, sensor_bus::kSonyThermometer, kSonyCelsius);
    }
    if (!product_.console) return;
    const bool running = consoleFault_ == ConsoleFault::None;
    Poke(static_cast<uint16_t>(sensor_bus::console::kStatus),
         running ? sensor_bus::console::kStatusRunning : 0);
    if (consoleFault_ != ConsoleFault::Silent) Say(kConsoleGreeting);
}

void SimFamilySensor::SetConsoleFault(ConsoleFault fault) {
    consoleFault_ = fault;
    PowerOn();
}

void SimFamilySensor::Say(const char* text) {
    consoleOut_.insert(consoleOut_.end(), text, text + std::strlen(text));
}

void SimFamilySensor::OnConsoleLine() {
    const bool reset = consoleLine_ + '\r' == sensor_bus::console::kResetLine;
    consoleLine_.clear();
    if (consoleFault_ == ConsoleFault::Silent) return;
    if (reset) {
        // The processor restarts and brings the sensor up.
        consoleFault_ = ConsoleFault::None;
        Poke(static_cast<uint16_t>(sensor_bus::console::kStatus),
             sensor_bus::console::kStatusRunning);
        Say(sensor_bus::console::kAccepted);
    }
    Say(kConsoleGreeting);
}

bool SimFamilySensor::IsSerialHead() const {
    return std::find(std::begin(kHeadProducts), std::end(kHeadProducts), product_.productId) !=
           std::end(kHeadProducts);
}

void SimFamilySensor::PresetFpga(FpgaRegisterFile& fpga) const {
    if (!IsSerialHead()) return;
    const uint32_t code = sensor_bus::kHeadThermometer.CodeOf(kHeadCelsius);
    fpga.Set(static_cast<uint8_t>(sensor_bus::kHeadThermometer.low), static_cast<uint8_t>(code));
    fpga.Set(static_cast<uint8_t>(sensor_bus::kHeadThermometer.high),
             static_cast<uint8_t>(code >> 8));
    namespace head = sensor_bus::head;
    fpga.Set(head::kGainModeFirst, head::kSwitchClosed);
    fpga.Set(head::kGainModeSecond, head::kSwitchOpen);
    fpga.Set(head::kVariant, kHeadVariant);
    fpga.Set(head::kFirmware, kHeadFirmware);
    fpga.Set(head::kModel, static_cast<uint8_t>(product_.productId));
    fpga.Set(head::kRevision, kHeadRevision);
}

bool SimFamilySensor::Write(const uint8_t* data, int length) {
    consoleSelected_ = product_.console && length >= 2 && data[0] == 0 && data[1] == 0;
    if (!consoleSelected_) return SimSensor::Write(data, length);
    for (int i = 2; i < length; ++i) {
        const auto c = static_cast<char>(data[i]);
        if (c == '\r' || c == '\n' || c == '\0') {
            if (!consoleLine_.empty()) OnConsoleLine();
        } else if (consoleLine_.size() < 255) {
            consoleLine_.push_back(c);
        }
    }
    return true;
}

bool SimFamilySensor::Read(uint8_t* data, int length) {
    if (!consoleSelected_) return SimSensor::Read(data, length);
    // Nothing to say reads as a zero byte.
    for (int i = 0; i < length; ++i) {
        data[i] = 0;
        if (consoleOut_.empty()) continue;
        data[i] = static_cast<uint8_t>(consoleOut_.front());
        consoleOut_.pop_front();
    }
    return true;
}

bool SimFamilySensor::WriteRegister16(uint16_t address, uint16_t value) {
    Poke(address, static_cast<uint8_t>(value >> 8));
    Poke(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value));
    return true;
}

bool SimFamilySensor::ReadRegister16(uint16_t address, uint16_t* value) {
    if (value == nullptr) return false;
    const uint8_t high = Peek(address).value_or(0);
    const uint8_t low = Peek(static_cast<uint16_t>(address + 1)).value_or(0);
    *value = static_cast<uint16_t>(high << 8 | low);
    return true;
}

uint32_t SimFamilySensor::Mailbox(uint32_t address) const {
    auto found = mailbox_.find(address);
    return found != mailbox_.end() ? found->second : 0;
}

void SimFamilySensor::RenderFrame(uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                                  uint32_t frameNumber, uint8_t* out, size_t bytes) {
    RenderBytes(width, height, bytesPerPixel, frameNumber, 0, out, bytes);
}

void SimFamilySensor::RenderBytes(uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                                  uint32_t frameNumber, uint64_t offset, uint8_t* out,
                                  size_t length) {
    const uint64_t rowBytes = uint64_t{width} * bytesPerPixel;
    if (rowBytes == 0 || height == 0) {
        std::memset(out, 0, length);
        return;
    }
    // Further planes repeat the picture's rows.
    while (length > 0) {
        const uint64_t row = offset / rowBytes;
        const auto within = static_cast<uint32_t>(offset % rowBytes);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, rowBytes - within));
        const auto line = static_cast<uint32_t>(row % height);
        const uint32_t pictureRow = product_.bottomRowFirst ? height - 1 - line : line;
        if (product_.serialHead && line == height - 1) {
            // The serial head's last row carries no picture.
            std::memset(out, 0, n);
        } else if (const uint8_t* stored =
                       StoredRow(width, bytesPerPixel, frameNumber, pictureRow)) {
            std::memcpy(out, stored + within, n);
        } else {
            DrawRow(width, bytesPerPixel, frameNumber, pictureRow, within, out, n);
        }
        out += n;
        offset += n;
        length -= n;
    }
}

void SimFamilySensor::PrepareRows(uint32_t width, uint32_t bytesPerPixel) {
    const size_t bytes = size_t{width} * bytesPerPixel * kFamilyPictureRowPeriod;
    if (rowStore_.size() < bytes) rowStore_.resize(bytes);
}

const uint8_t* SimFamilySensor::StoredRow(uint32_t width, uint32_t bytesPerPixel,
                                          uint32_t frameNumber, uint32_t pictureRow) {
    const size_t rowBytes = size_t{width} * bytesPerPixel;
    if (rowStore_.size() < rowBytes * kFamilyPictureRowPeriod) return nullptr;
    if (width != storeWidth_ || bytesPerPixel != storeBytesPerPixel_ ||
        frameNumber != storeFrame_) {
        rowStored_.fill(false);
        storeWidth_ = width;
        storeBytesPerPixel_ = bytesPerPixel;
        storeFrame_ = frameNumber;
    }
    const uint32_t slot = pictureRow % kFamilyPictureRowPeriod;
    uint8_t* stored = rowStore_.data() + slot * rowBytes;
    if (!rowStored_[slot]) {
        DrawRow(width, bytesPerPixel, frameNumber, pictureRow, 0, stored, rowBytes);
        rowStored_[slot] = true;
    }
    return stored;
}

void SimFamilySensor::DrawRow(uint32_t width, uint32_t bytesPerPixel, uint32_t frameNumber,
                              uint32_t pictureRow, uint32_t within, uint8_t* out,
                              size_t length) const {
    const bool sixteen = bytesPerPixel == 2;
    for (size_t i = 0; i < length; ++i) {
        const uint32_t byte = within + static_cast<uint32_t>(i);
        const uint32_t c = byte / bytesPerPixel;
        const uint32_t x = product_.mirroredRows ? width - 1 - c : c;
        const uint16_t sample =
            FamilyPictureSample(product_.colour, x, pictureRow, frameNumber, sixteen);
        out[i] = static_cast<uint8_t>(byte % bytesPerPixel == 0 ? sample : sample >> 8);
    }
}

bool SimFamilySensor::Word8Chip::Write(const uint8_t* data, int length) {
    if (length < 1) return false;
    pointer_ = data[0];
    for (int i = 1; i + 1 < length; i += 2)
        registers_[pointer_++] = static_cast<uint16_t>(data[i] << 8 | data[i + 1]);
    return true;
}

bool SimFamilySensor::Word8Chip::Read(uint8_t* data, int length) {
    for (int i = 0; i + 1 < length; i += 2) {
        data[i] = static_cast<uint8_t>(registers_[pointer_] >> 8);
        data[i + 1] = static_cast<uint8_t>(registers_[pointer_++]);
    }
    return true;
}

}  // namespace velcor::sim
