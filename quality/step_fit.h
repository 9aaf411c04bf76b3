// A step in a smooth series: the size of the jump between the values before
// a given time and the values from it on, with a quadratic trend through
// both (the ionosphere bends the geometry-free combination, most at low
// elevation, where a line through the last few values misses the next one
// by a centimetre or more).
#pragma once

struct StepFit {
    double jump = 0;            // the step at the given time
    double worst_residual = 0;  // largest |value - model| over the points
    bool solved = false;        // enough points on both sides
};

// Fits value = a + b tau + c tau^2 + jump [t >= t_step] (tau = t - t_step)
// through the `n` points (t, value); without the quadratic term when fewer
// than seven points are given. Needs at least one point on each side and
// four points in all.
StepFit fit_step(const double* t, const double* value, int n, double t_step);
