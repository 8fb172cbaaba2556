// The moments the show's pictures jump at: its three cue tables, and the
// hits of the title cards. The music puts a percussive hit exactly on each.
#pragma once

#include <vector>

// Every distinct time of the three cue tables, ascending, seconds.
std::vector<double> cueHitTimes();
// The cue tables one by one: 0 the opening field's, 1 the orbit camera's,
// 2 the greeting field's (without its five closing zero entries).
std::vector<double> cueTable(int which);
