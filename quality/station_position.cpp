#include "quality/station_position.h"

#include <cmath>

bool occupation_position(Campaign& c, double xyz[3]) {
    if (c.occ.cor_ref > 0 && c.read_linked(CampaignTable::cor, c.occ.cor_ref)) {
        const double header[3] = {c.cor.pos_x, c.cor.pos_y, c.cor.pos_z};
        const bool finite =
            std::isfinite(header[0]) && std::isfinite(header[1]) && std::isfinite(header[2]);
        if (finite && (header[0] != 0 || header[1] != 0 || header[2] != 0)) {
            for (int i = 0; i < 3; ++i) xyz[i] = header[i];
            return true;
        }
    }
    return false;
}
