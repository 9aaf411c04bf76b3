// The table of numbered messages. A message's number is also the exit status
// of a run that ends with it.
#pragma once

inline constexpr int message_count = 12;
extern const char* const meldunge[message_count];
