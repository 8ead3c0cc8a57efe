#include "sensors/SensorPid3180.h"

#include <cstring>

#include "platform/Clock.h"
#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorFamilyModels.h"

namespace velcor {

namespace console = sensor_bus::console;

CSensorPid3180::CSensorPid3180(CControllerBase* controller, uint8_t busAddress)
    : CSensorFamily(controller, busAddress, CatalogRow("CSensorPid3180")) {}

int32_t CSensorPid3180::WaitReady() {
    uint32_t status = 0;
    if (!HasController() || !ReadRegisterRetried(console::kStatus, &status)) return 0;
    return status == console::kStatusRunning ? 1 : 0;
}

int32_t CSensorPid3180::Recover() {
    if (!HasController()) return 0;
    // A console that does not greet is not there to be asked.
    if (!AwaitLine(console::kGreeting, kGreetingMs)) return 0;
    if (!Command(console::kResetLine, console::kAccepted, kResends, kAnswerMs)) return 0;
    if (!AwaitLine(console::kGreeting, kGreetingMs)) return 0;
    return WaitReady();
}

bool CSensorPid3180::NextLine(char (&received)[kLineBuffer], uint32_t start, uint32_t timeoutMs) {
    while (platform::TimeGetTime() - start < timeoutMs) {
        const int32_t count = ReceiveText(received, kLineBuffer - 1);
        if (count > 0) {
            received[count] = '\0';
            return true;
        }
        platform::Sleep(kConsoleByteMs);
    }
    return false;
}

bool CSensorPid3180::AwaitLine(const char* line, uint32_t timeoutMs) {
    const uint32_t start = platform::TimeGetTime();
    char received[kLineBuffer] = {};
    while (NextLine(received, start, timeoutMs)) {
        if (std::strcmp(received, line) == 0) return true;
    }
    return false;
}

bool CSensorPid3180::Send(const char* text) {
    return SendText(text, static_cast<int32_t>(std::strlen(text)) + 1) != 0;
}

bool CSensorPid3180::Command(const char* command, const char* expected, int resends,
                             uint32_t timeoutMs) {
    if (!Send(command)) return false;
    const uint32_t start = platform::TimeGetTime();
    char received[kLineBuffer] = {};
    while (NextLine(received, start, timeoutMs)) {
        if (std::strcmp(received, expected) == 0) return true;
        if (std::strcmp(received, console::kRefused) == 0 && (resends-- <= 0 || !Send(command))) {
            return false;
        }
    }
    return false;
}

int32_t CSensorPid3180::ReceiveText(char* buffer, int32_t length) {
    if (buffer == nullptr || length <= 0 || !HasController()) return 0;
    int32_t count = 0;
    for (;;) {
        uint32_t value = 0;
        // A failed read ends the line with what came so far.
        if (!ReadRegister(console::kData, &value)) return count;
        const auto byte = static_cast<char>(value);
        if (byte == '\r' && count > 0) {
            // The line feed after the carriage return belongs to the line.
            platform::Sleep(kConsoleByteMs);
            ReadRegister(console::kData, &value);
            if (count + 2 > length) return 0;
            buffer[count] = '\r';
            buffer[count + 1] = '\n';
            return count + 2;
        }
        if (byte == '\0' || byte == '\n') {
            if (count == 0) return 0;
            if (count + 1 > length) return 0;
            buffer[count] = byte;
            return count + 1;
        }
        // A line longer than the buffer is not a line the console sends.
        if (count + 1 >= length) return 0;
        buffer[count++] = byte;
        platform::Sleep(kConsoleByteMs);
    }
}

int32_t CSensorPid3180::SendText(const char* text, int32_t length) {
    if (text == nullptr || length <= 0 || !HasController()) return 0;
    // What the console said before is not an answer to this text.
    char scratch[kLineBuffer] = {};
    ReceiveText(scratch, kLineBuffer - 1);
    int32_t ok = 0;
    for (int32_t i = 0; i < length && text[i] != '\0'; ++i) {
        ok = WriteRegister(console::kData, static_cast<uint8_t>(text[i]));
        if (!ok) break;
        platform::Sleep(kConsoleByteMs);
    }
    return ok;
}

}  // namespace velcor
