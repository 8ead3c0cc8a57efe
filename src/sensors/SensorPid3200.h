// Product 0x3200: a cooled camera. While it streams, a worker of the driver reads the sensor's
// thermometer once a period and keeps the latest reading, so the temperature is answered
// without bus traffic between the frames.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/Thread.h"
#include "sensors/SensorFamily.h"

namespace velcor {

class CSensorPid3200 final : public CSensorFamily {
  public:
    static constexpr uint32_t kReadingPeriodMs = 1000;

    CSensorPid3200(CControllerBase* controller, uint8_t busAddress);
    // The worker goes before the driver it reads through.
    ~CSensorPid3200() override;

    // While the worker runs: its latest reading; otherwise (or while it has none) a reading
    // over the bus.
    int32_t GetTemperature(double* celsius) override;

    // Starts the worker, after stopping one still running.
    void OnStreamStart() override;
    void OnStreamStop() override;

    // How often the worker reads the thermometer; from the next reading on.
    void SetReadingPeriod(uint32_t milliseconds);
    bool WorkerRunning() const;
    // Readings the workers have taken so far, successful or not.
    uint64_t WorkerReadings() const;

  private:
    void RunWorker();
    void StopWorker();

    // The driver's second lock: the worker's state and its latest reading.
    mutable std::mutex workerMutex_;
    std::condition_variable workerWake_;
    bool stopRequested_ = false;
    bool workerRunning_ = false;
    std::optional<double> latestCelsius_;
    uint64_t readings_ = 0;
    uint32_t periodMs_ = kReadingPeriodMs;
    platform::Thread worker_;
};

}  // namespace velcor
