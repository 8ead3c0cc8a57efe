#include "sensors/SensorPid3200.h"

#include <chrono>

#include "sensors/SensorFamilyModels.h"

namespace velcor {

CSensorPid3200::CSensorPid3200(CControllerBase* controller, uint8_t busAddress)
    : CSensorFamily(controller, busAddress, CatalogRow("CSensorPid3200")) {}

CSensorPid3200::~CSensorPid3200() {
    StopWorker();
}

int32_t CSensorPid3200::GetTemperature(double* celsius) {
    if (!IsTemperatureSupported() || celsius == nullptr) return 0;
    {
        std::lock_guard lock(workerMutex_);
        if (workerRunning_ && latestCelsius_) {
            *celsius = *latestCelsius_;
            return 1;
        }
    }
    return ReadThermometer(celsius) ? 1 : 0;
}

void CSensorPid3200::OnStreamStart() {
    StopWorker();
    if (!HasController() || !IsTemperatureSupported()) return;
    {
        std::lock_guard lock(workerMutex_);
        stopRequested_ = false;
        latestCelsius_.reset();
        workerRunning_ = true;
    }
    if (!worker_.Start([this] { RunWorker(); }, platform::ThreadPriority::Normal, "velcor-3200")) {
        std::lock_guard lock(workerMutex_);
        workerRunning_ = false;
    }
}

void CSensorPid3200::OnStreamStop() {
    StopWorker();
}

void CSensorPid3200::StopWorker() {
    {
        std::lock_guard lock(workerMutex_);
        stopRequested_ = true;
    }
    workerWake_.notify_all();
    // The worker notices the stop between two readings; a reading in progress ends within the
    // bus time-out of its register reads.
    worker_.Join();
    std::lock_guard lock(workerMutex_);
    workerRunning_ = false;
    latestCelsius_.reset();
}

void CSensorPid3200::RunWorker() {
    for (;;) {
        double celsius = 0.0;
        const bool read = ReadThermometer(&celsius);
        std::unique_lock lock(workerMutex_);
        ++readings_;
        if (read) {
            latestCelsius_ = celsius;
        } else {
            latestCelsius_.reset();  // a failed reading is not answered from an old one
        }
        if (workerWake_.wait_for(lock, std::chrono::milliseconds(periodMs_),
                                 [this] { return stopRequested_; })) {
            return;
        }
    }
}

void CSensorPid3200::SetReadingPeriod(uint32_t milliseconds) {
    std::lock_guard lock(workerMutex_);
    periodMs_ = milliseconds;
}

bool CSensorPid3200::WorkerRunning() const {
    std::lock_guard lock(workerMutex_);
    return workerRunning_;
}

uint64_t CSensorPid3200::WorkerReadings() const {
    std::lock_guard lock(workerMutex_);
    return readings_;
}

}  // namespace velcor
