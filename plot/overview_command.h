// The overview page of the whole campaign, written with the pages of every
// occupation.
#pragma once

#include <vector>

#include "draw/canvas_factory.h"
#include "quality/quality_command.h"

// The file's name: "zzCAMPAIGN" with the format's extension.
std::string overview_file_name(DrawFormat format);

// Writes the overview page(s) of the campaign in the current folder, every
// occupation of zzOCC, with its progress lines; nothing for a campaign
// without occupations. With `checked` (the quality check of the same run)
// the bars are shaded by the observations per slip it found.
void write_campaign_overview(bool landscape, const std::vector<CheckedOccupation>* checked,
                             DrawFormat format = DrawFormat::ps);
