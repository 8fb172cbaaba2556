// The cue tables as the show's timeline holds them, without repeats.
#include "cue_times.h"

#include <algorithm>

#include "timeline/cue_tables.h"

namespace {

// The greeting table's closing zero entries are no moments in the music.
template <size_t n> std::vector<double> distinct(const double (&table)[n]) {
    std::vector<double> times;
    for (double time : table)
        if (time > 0)
            times.push_back(time);
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

} // namespace

std::vector<double> cueTable(int which) {
    if (which == 0)
        return distinct(openingCueTimes);
    if (which == 1)
        return distinct(orbitCueTimes);
    return distinct(greetingCueTimes);
}

std::vector<double> cueHitTimes() {
    std::vector<double> all;
    for (int which = 0; which < 3; which++) {
        std::vector<double> table = cueTable(which);
        all.insert(all.end(), table.begin(), table.end());
    }
    std::sort(all.begin(), all.end());
    return all;
}
