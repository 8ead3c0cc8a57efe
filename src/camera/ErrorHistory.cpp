#include "camera/ErrorHistory.h"

#include <algorithm>

namespace velcor {

void ErrorHistory::Push(int code) {
    std::lock_guard lock(mutex_);
    std::copy_backward(codes_.begin(), codes_.end() - 1, codes_.end());
    codes_[0] = code;
}

int ErrorHistory::Pop() {
    std::lock_guard lock(mutex_);
    const int newest = codes_[0];
    std::copy(codes_.begin() + 1, codes_.end(), codes_.begin());
    codes_[kDepth - 1] = 0;
    return newest;
}

}  // namespace velcor
