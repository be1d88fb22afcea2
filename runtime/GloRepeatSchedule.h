// When the worker's next repeat tick is due. Ticks lie on a fixed grid that starts with the
// first run of a gesture, so a late wake-up or a slow function shortens the next wait instead
// of moving every later tick, and the average period is exactly the repeat period.
#pragma once

namespace glo_runtime {

// The first grid point after `now` that follows `due` (all in the same clock units). Ticks
// that were missed altogether (`now` is past the next one) are skipped, never made up.
// `period` must be positive.
inline long long nextRepeatDue(long long due, long long now, long long period) {
    long long next = due + period;
    if (next <= now)
        next += ((now - next) / period + 1) * period;
    return next;
}

} // namespace glo_runtime
