#include "store/record_growth.h"

namespace sorvane {

namespace {
// Appends left before injected failures start; negative when none are injected.
thread_local int t_successesLeft = -1;
}  // namespace

bool detail::AppendFailureDue() {
    if (t_successesLeft < 0)
        return false;
    if (t_successesLeft == 0)
        return true;
    --t_successesLeft;
    return false;
}

ScopedAppendFailure::ScopedAppendFailure(int successesFirst) : saved_(t_successesLeft) {
    t_successesLeft = successesFirst < 0 ? 0 : successesFirst;
}

ScopedAppendFailure::~ScopedAppendFailure() {
    t_successesLeft = saved_;
}

}  // namespace sorvane
