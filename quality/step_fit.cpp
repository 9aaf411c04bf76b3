#include "quality/step_fit.h"

#include <cmath>
#include <utility>

namespace {

// Solves the k x k system a x = b (k <= 4) by elimination with partial
// pivoting; false when it is singular.
bool solve(double a[4][4], double b[4], int k, double x[4]) {
    for (int col = 0; col < k; ++col) {
        int pivot = col;
        for (int r = col + 1; r < k; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        if (!(std::fabs(a[pivot][col]) > 1e-12)) return false;
        if (pivot != col) {
            for (int j = 0; j < k; ++j) std::swap(a[col][j], a[pivot][j]);
            std::swap(b[col], b[pivot]);
        }
        for (int r = col + 1; r < k; ++r) {
            const double f = a[r][col] / a[col][col];
            for (int j = col; j < k; ++j) a[r][j] -= f * a[col][j];
            b[r] -= f * b[col];
        }
    }
    for (int r = k - 1; r >= 0; --r) {
        double s = b[r];
        for (int j = r + 1; j < k; ++j) s -= a[r][j] * x[j];
        x[r] = s / a[r][r];
    }
    return true;
}

}  // namespace

StepFit fit_step(const double* t, const double* value, int n, double t_step) {
    StepFit fit;
    int before = 0;
    for (int i = 0; i < n; ++i)
        if (t[i] < t_step) ++before;
    if (n < 4 || before == 0 || before == n) return fit;
    // Unknowns: jump, a, b (and c); tau in units of the span, for a well
    // conditioned system.
    const int k = n >= 7 ? 4 : 3;
    double span = 0;
    for (int i = 0; i < n; ++i) span = std::fmax(span, std::fabs(t[i] - t_step));
    if (!(span > 0)) return fit;
    double a[4][4] = {}, b[4] = {}, x[4] = {};
    auto row = [&](int i, double r[4]) {
        const double tau = (t[i] - t_step) / span;
        r[0] = t[i] >= t_step ? 1 : 0;
        r[1] = 1;
        r[2] = tau;
        r[3] = tau * tau;
    };
    for (int i = 0; i < n; ++i) {
        double r[4];
        row(i, r);
        for (int p = 0; p < k; ++p) {
            for (int q = 0; q < k; ++q) a[p][q] += r[p] * r[q];
            b[p] += r[p] * value[i];
        }
    }
    if (!solve(a, b, k, x)) return fit;
    for (int i = 0; i < n; ++i) {
        double r[4];
        row(i, r);
        double model = 0;
        for (int p = 0; p < k; ++p) model += r[p] * x[p];
        fit.worst_residual = std::fmax(fit.worst_residual, std::fabs(value[i] - model));
    }
    fit.jump = x[0];
    fit.solved = true;
    return fit;
}
