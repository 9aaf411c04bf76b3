// Where the satellites of an occupation stood, for the sky pages.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "obsdb/campaign.h"
#include "orbits/ephemeris_store.h"
#include "plot/sky_gather.h"

// The look angles of the satellites of occupation `occupation`, which is in
// the record buffer (zzCOR, zzSATOCC, zzSAT and zzOBS open), from the
// campaign's ephemerides, seen from its header position or, where the header
// has none, from the position its codes give; an empty function when there
// are no ephemerides, or no position to see them from. The record buffers
// other than zzOCC's are left changed.
SkyLook occupation_sky_look(Campaign& c, long occupation,
                            std::shared_ptr<const orbits::EphemerisStore> store);

// Whether the ephemerides serve one of the satellites `ids` (from index 1)
// at one of the time values `epochs`: the campaign may hold ephemerides of
// other days only.
bool ephemerides_serve(const orbits::EphemerisStore* store, const std::vector<std::string>& ids,
                       const std::vector<double>& epochs);
