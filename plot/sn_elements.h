// Drawing elements of the signal/noise page: the line state of a row, the
// L1/L2 line segments, the satellite-count curve, loss-of-lock marks, the
// time axis, the legend and the text form of a time value.
//
// All coordinates are centimetres of the page (plot/page_geometry.h). The
// elements draw on the canvas of the document the page has opened.
#pragma once

#include <cstddef>
#include <cstdint>

#include "draw/canvas.h"
#include "plot/page_geometry.h"

// Line state of one row. The slot of the satellite-count curve uses only
// l1_since (start of the current count level) and l1_class (the count level
// as a small number).
struct sv_slot {
    std::int32_t satocc_no;  // satellite occupation of the row; 0 when empty
    double l1_since;         // start of the open L1 segment
    char l1_class;           // S/N character of the open L1 segment, 0 = none
    char l1_next;            // S/N character seen in this epoch, 0 = not observed
    double l2_since;
    char l2_class;
    char l2_next;
};

// Sets paint and line width for an S/N class ("0" to "9"; anything else is
// drawn like "0") from the page's line styles, the width scaled to the rows.
void sn_class_style(Canvas& c, const sn_page& page, char sn_class);

// Segment of one row and frequency; `row` is the row's index on the page.
// change: ends the open segment at t and opens one of the next class at t.
void segment_change(Canvas& c, const sn_page& page, sv_slot* slot, sn_frequency freq, double t,
                    int row);
// gap: t is already two intervals past the last epoch; the open segment ends
// one interval after that epoch (t - interval) and the row has no segment. A
// row first seen in that epoch gets a line over its one interval.
void segment_gap(Canvas& c, const sn_page& page, sv_slot* slot, sn_frequency freq, double t,
                 int row);
// close: draws the open segment up to t + interval; the slot is unchanged.
void segment_close(Canvas& c, const sn_page& page, const sv_slot* slot, sn_frequency freq, double t,
                   int row);

// Satellite-count step curve on its slot.
void count_curve_step(Canvas& c, const sn_page& page, sv_slot* slot0, double t, int n);
void count_curve_gap(Canvas& c, const sn_page& page, sv_slot* slot0, double t, int* n);
void count_curve_close(Canvas& c, const sn_page& page, const sv_slot* slot0, double t);

// Short vertical mark at t for a loss of lock on a row: for L1 from 0.06 to
// 0.18 cm below the row's top, for L2 as far above its bottom, scaled with
// the pitch.
void lock_loss_mark(Canvas& c, const sn_page& page, sn_frequency freq, double t, int row);

// Mark at t of a slip that the quality check found in GF or MW on a row: a
// dark blue cross between the row's L1 and L2 lines, 0.2 cm wide and high at
// full pitch, scaled with it.
void slip_mark(Canvas& c, const sn_page& page, double t, int row);

// Spacing of the time-axis ticks in seconds for the span begin to end;
// always finite and positive.
double tick_step(double begin, double end);

// First tick after begin for a given step, aligned on local time: on whole
// seconds, minutes, hours or days, whichever the step still exceeds.
double first_tick(double begin, double step);

// Calendar fields of the previous time label; a label repeats only the parts
// that changed.
struct tick_label {
    int year;   // years since 1900
    int month;  // 1 to 12
    int day;
    int hour;
    int minute;
};
// Fields that make the next label carry the date.
inline constexpr tick_label no_tick_label = {-1, -1, -1, -1, -1};

inline constexpr std::size_t tick_text_size = 96;
// Label text of a tick at t given the previous label; updates `previous`.
void tick_text(double t, tick_label* previous, char* text);
// Label and grid line of one tick.
void time_tick(Canvas& c, const sn_page& page, double t, tick_label* previous);
// The time axis: labels at begin, at every tick strictly before end, and at end.
void time_axis(Canvas& c, const sn_page& page);

// Legend of the page's ten S/N line styles below the plot.
void sn_legend(Canvas& c, const sn_page& page);

// "dd.mm.yy hh:mm:ss" of a time value in local time (the year as years since
// 1900, so 2000 prints as 100). `buffer` holds at least time_text_size bytes.
inline constexpr std::size_t time_text_size = 80;
char* format_time_value(double t, char* buffer);
