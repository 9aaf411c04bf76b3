// The GLONASS slot/channel lines of a RINEX 3 header and the codes the slot
// plan puts into each system's five slots.
#include "rinex/signal_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string channels_text(const std::vector<GlonassChannel>& channels) {
    std::string text;
    for (const GlonassChannel& c : channels) {
        text += 'R';
        text += std::to_string(c.slot);
        text += ':';
        text += std::to_string(c.channel);
        text += ' ';
    }
    return text;
}

TEST(GlonassSlotLines, PairsOfFirstAndContinuationLines) {
    struct Row {
        const char* line;
        const char* pairs;
    } rows[] = {
        {" 23 R01  1 R02 -4 R03  5 R04  6 R05  1 R06 -4 R07  5 R08  6 GLONASS SLOT / FRQ #",
         "R1:1 R2:-4 R3:5 R4:6 R5:1 R6:-4 R7:5 R8:6 "},
        {"    R17  4 R18 -3 R19  3 R20  2 R21  4 R23  3 R24  2        GLONASS SLOT / FRQ #",
         "R17:4 R18:-3 R19:3 R20:2 R21:4 R23:3 R24:2 "},
        // Old channels up to 13; a pair cut by the line end; bad pairs passed over.
        {"  4 R09 13 R10 -7 R11 -8 G12  1 R1x  2 R13 ", "R9:13 R10:-7 "},
        {"  1 R05  ", ""},
        {"", ""},
    };
    for (const Row& row : rows) {
        std::vector<GlonassChannel> channels;
        read_glonass_slot_line(row.line, &channels);
        EXPECT_EQ(channels_text(channels), row.pairs) << row.line;
    }
}

// The code in each slot, per system, from a real header's type lists.
TEST(SlotCodes, PerSystemFromTheTypeLists) {
    const char* lines[] = {
        "G   18 C1C L1C D1C S1C C1W S1W C2W L2W D2W S2W C2L L2L D2L",
        "       S2L C5Q L5Q D5Q S5Q",
        "E   12 C1C L1C D1C S1C C5Q L5Q D5Q S5Q C7Q L7Q D7Q S7Q",
        "S    4 C1C L1C D1C S1C",
        "C    8 C2I L2I D2I S2I C7I L7I D7I S7I",
        "C    4 C1P L1P C5P L5P",  // a second list of a system counts not
        "X    2 C1C L1C",          // no slots for an unknown system
    };
    rinex3_type_lists lists;
    for (const char* line : lines) rinex3_add_types_line(&lists, line);
    rinex3_plan plan;
    rinex3_make_plan(lists, &plan);
    std::string text;
    for (const sig_record& sig : slot_codes(lists, plan)) {
        text += sig.system;
        for (const auto& code : sig.codes) text += std::string(" ") + (code[0] ? code : "-");
        text += "\n";
    }
    EXPECT_EQ(text,
              "G C1C C1W L1C C2W L2W\n"
              "E C1C - L1C C5Q L5Q\n"
              "S C1C - L1C - -\n"
              "C C2I - L2I C7I L7I\n");
}

}  // namespace
