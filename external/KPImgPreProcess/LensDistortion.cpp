#include "LensDistortion.h"

#include <algorithm>
#include <cmath>

namespace kpimg {

LensDistortion::LensDistortion(const double* coefficients) { std::copy_n(coefficients, m_c.size(), m_c.begin()); }

bool LensDistortion::IsZero() const {
    return std::all_of(m_c.begin(), m_c.end(), [](double c) { return c == 0.0; });
}

bool LensDistortion::IsFinite() const {
    return std::all_of(m_c.begin(), m_c.end(), [](double c) { return std::isfinite(c); });
}

void LensDistortion::Distort(double x, double y, double& xd, double& yd) const {
    const double k1 = m_c[0], k2 = m_c[1], p1 = m_c[2], p2 = m_c[3];
    const double k3 = m_c[4], k4 = m_c[5], k5 = m_c[6], k6 = m_c[7];
    const double r2 = x * x + y * y;
    const double r4 = r2 * r2;
    const double r6 = r4 * r2;
    const double radial = (1.0 + k1 * r2 + k2 * r4 + k3 * r6) / (1.0 + k4 * r2 + k5 * r4 + k6 * r6);
    xd = x * radial + 2.0 * p1 * x * y + p2 * (r2 + 2.0 * x * x);
    yd = y * radial + p1 * (r2 + 2.0 * y * y) + 2.0 * p2 * x * y;
}

}  // namespace kpimg
