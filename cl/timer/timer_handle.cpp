#include "cl/timer/timer_handle.h"

#include "cl/timer/base_timer.h"

namespace cl {

timer_handle::~timer_handle() { cancel(true); }

bool timer_handle::cancel(bool wait) {
    base_timer* timer = timer_.load();
    return timer != nullptr && timer->cancel(*this, wait);
}

}  // namespace cl
