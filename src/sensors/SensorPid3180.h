// Product 0x3180: a camera with its own processor, which runs the sensor and keeps a text
// console behind the sensor interface. Sensor register 0 carries the console's bytes, one per
// register access, both ways.
#pragma once

#include <cstdint>

#include "sensors/SensorFamily.h"

namespace velcor {

class CSensorPid3180 final : public CSensorFamily {
  public:
    static constexpr uint32_t kConsoleByteMs = 10;  // between two bytes of the console
    static constexpr int32_t kLineBuffer = 256;
    // The console greets within this time after power-on and after a reset.
    static constexpr uint32_t kGreetingMs = 3000;
    // A command is answered within this time.
    static constexpr uint32_t kAnswerMs = 60000;
    // A command the console refuses ("NG") is sent again this many times.
    static constexpr int kResends = 3;

    CSensorPid3180(CControllerBase* controller, uint8_t busAddress);

    // Ready once the camera's processor reports the sensor running.
    int32_t WaitReady() override;
    // Brings up a camera whose processor did not start the sensor: after the console's
    // greeting, a reset line restarts the processor, which accepts it and greets again; the
    // result is that of WaitReady after that. A console that never greets fails within
    // kGreetingMs.
    int32_t Recover() override;

    int32_t ReceiveText(char* buffer, int32_t length) override;
    int32_t SendText(const char* text, int32_t length) override;

    // Sends a command and waits up to `timeoutMs` for the expected answer line; every refusal
    // sends the command again, up to `resends` times; other lines are passed over.
    bool Command(const char* command, const char* expected, int resends, uint32_t timeoutMs);

  private:
    // Listens until the console says this line, for up to `timeoutMs`.
    bool AwaitLine(const char* line, uint32_t timeoutMs);
    // The console's next line, waiting until `timeoutMs` after `start`; false when none came.
    bool NextLine(char (&received)[kLineBuffer], uint32_t start, uint32_t timeoutMs);
    bool Send(const char* text);
};

}  // namespace velcor
