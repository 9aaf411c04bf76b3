// The walk over an occupation's observations, on campaigns filled here.
#include "obsdb/observation_walk.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/testkit/campaign_fill.h"
#include "tests/testkit/testkit.h"

namespace {

// The walk reads from an occupation's first observation on, in stored order,
// to the end of the table: where the occupations' blocks follow each other
// in reading order (found by halving over the record numbers) and where they
// do not (found through the index). Occupation 4 has no observations.
TEST(ObservationWalk, FromTheFirstObservationOnInStoredOrder) {
    for (const std::vector<int>& blocks : {std::vector<int>{1, 2, 3}, {2, 1, 3, 1}}) {
        testkit::ScratchDir dir;
        testkit::InDir in(dir.path());
        long occupation[5] = {}, satocc[5] = {};
        std::vector<std::pair<int, double>> stored;  // occupation, epoch
        {
            testkit::CampaignFill fill;
            const long sta = fill.station("WALK"), sat = fill.satellite("G01");
            const long rcv = fill.receiver("1", "R"), ant = fill.antenna("1", "A");
            for (int o = 1; o <= 4; ++o) {
                fill.next_occupation();
                occupation[o] = fill.occupation(sta, rcv, ant, 0, 0, 0);
                satocc[o] = fill.satellite_occupation(sat, occupation[o]);
            }
            double epoch = 1e9;
            for (int o : blocks)
                for (int k = 0; k < 3; ++k, epoch += 30) {
                    fill.observation(satocc[o], epoch);
                    stored.emplace_back(o, epoch);
                }
        }
        Campaign c;
        c.open_read({CampaignTable::satocc, CampaignTable::obs});
        for (int o = 1; o <= 4; ++o) {
            std::vector<double> expected, got;
            bool from_first = false;
            for (const auto& [stored_occupation, epoch] : stored) {
                from_first = from_first || stored_occupation == o;
                if (from_first) expected.push_back(epoch);
            }
            ObservationWalk walk(c);
            for (bool more = walk.start(occupation[o]); more; more = walk.next()) {
                const double epoch = c.obs.epoch;  // a packed field: copied, not referred to
                got.push_back(epoch);
            }
            EXPECT_EQ(got, expected) << "blocks " << blocks.size() << ", occupation " << o;
        }
        c.close({CampaignTable::satocc, CampaignTable::obs});
    }
}

}  // namespace
