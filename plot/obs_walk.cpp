#include "plot/obs_walk.h"

#include "quality/observation_walk.h"

bool next_obs(Campaign& c) {
    const long r = db_next(&c.obs_db);
    if (r == 0) return false;
    c.read_checked(CampaignTable::obs, r);
    return true;
}

bool find_first_epoch(Campaign& c, const sv_rows& rows, double begin) {
    bool have = seek_occupation_observations(c, rows.occupation);
    while (have && c.obs.epoch < begin) have = next_obs(c);
    return have;
}
