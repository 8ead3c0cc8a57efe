// Storage for a process-wide object that is never destroyed. Objects that threads may still
// touch while the process exits (the handle registry, the window registry) live here, so exit
// does not tear them down under those threads; the system reclaims their memory.
#pragma once

#include <new>
#include <utility>

namespace velcor::platform {

template <typename T>
class NoDestructor {
  public:
    template <typename... Args>
    explicit NoDestructor(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

  private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace velcor::platform
