// The camera object's error history: 20 codes, index 0 the newest. Recording shifts the
// history towards its old end (dropping the oldest); popping returns the newest and shifts the
// rest forward, filling with 0. Application threads and the worker thread both record, so the
// history has its own lock.
#pragma once

#include <array>
#include <mutex>

namespace velcor {

class ErrorHistory {
  public:
    static constexpr int kDepth = 20;

    void Push(int code);
    int Pop();

  private:
    std::mutex mutex_;
    std::array<int, kDepth> codes_{};
};

}  // namespace velcor
