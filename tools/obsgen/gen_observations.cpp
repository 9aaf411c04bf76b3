// gen_observations OUT TRUTH [--rinex=2|3] [--interval=s] [--hours=h] [--seed=n]
//                  [--marker=name] [--inject=0|1] [--multipath=scale] [--l2=0|1]
//                  [--steering=0|1|2] [--shapes=0|1] [--systems=2|4]
// Writes a synthetic dual-frequency observation file and its truth file
// (see obs_generator.h).
#include <cstdio>

#include "tools/obsgen/obs_generator.h"

int main(int argc, char** argv) {
    obsgen::Options options;
    bool usable = argc >= 3;
    for (int i = 3; i < argc && usable; ++i) usable = obsgen::parse_option(argv[i], &options);
    if (!usable) {
        std::fprintf(stderr,
                     "usage: gen_observations OUT TRUTH [--rinex=2|3] [--interval=s] [--hours=h] "
                     "[--seed=n] [--marker=name] [--inject=0|1] [--multipath=scale] [--l2=0|1] "
                     "[--steering=0|1|2] [--shapes=0|1] [--systems=2|4]\n");
        return 2;
    }
    if (!obsgen::generate(options, argv[1], argv[2])) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
