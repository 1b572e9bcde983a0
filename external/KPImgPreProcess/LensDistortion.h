#pragma once
#include <array>

namespace kpimg {

// The rational lens model: k1, k2, p1, p2, k3, k4, k5, k6 in this order.
class LensDistortion {
public:
    using Coefficients = std::array<double, 8>;

    LensDistortion() = default;
    explicit LensDistortion(const double* coefficients);

    // All coefficients 0: the lens needs no correction.
    bool IsZero() const;
    bool IsFinite() const;

    // Where the lens puts an ideal point, both in normalised image coordinates.
    void Distort(double x, double y, double& xd, double& yd) const;

    bool operator==(const LensDistortion& other) const { return m_c == other.m_c; }

private:
    Coefficients m_c{};
};

}  // namespace kpimg
