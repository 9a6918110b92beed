// The formulas must give the same double as the defining arithmetic, step by
// step; EXPECT_EQ on doubles is deliberate.
#include "calc/formulas.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(Formulas, WorkedValuesAreExact) {
    EXPECT_EQ(calc::ta(1, 1), 6.2832);
    EXPECT_EQ(calc::tc(1, 1), 2.197);
    EXPECT_EQ(calc::tb1(1, 1), 0.693);
    EXPECT_EQ(calc::tb2(1, 1), 0.693);
    EXPECT_EQ(calc::td1(10, 10, 1), 0.693 * 20.0);
    EXPECT_EQ(calc::td2(10, 1), 0.693 * 10.0);
    EXPECT_EQ(calc::te(1000, 1), 6.2832);
    EXPECT_EQ(calc::tf(1, 0, 2, 2), std::sqrt(3.0) * 6.2832);
}

// Values chosen so that a different grouping of the same operations rounds
// differently; each expectation spells out the defining order.
TEST(Formulas, EvaluationOrderIsKept) {
    const double r1 = 3.3, r2 = 4.7, c = 0.01, c2 = 2.2;
    EXPECT_EQ(calc::ta(r1, c), (6.2832 * r1) * c);
    EXPECT_EQ(calc::tb1(r1, c), (0.693 * r1) * c);
    EXPECT_EQ(calc::tb2(r2, c2), (0.693 * r2) * c2);
    EXPECT_EQ(calc::tc(r1, c), (2.197 * r1) * c);
    EXPECT_EQ(calc::td1(r1, r2, c), (0.693 * (r1 + r2)) * c);
    EXPECT_EQ(calc::td2(r2, c), (0.693 * r2) * c);
    EXPECT_EQ(calc::te(r1, c), std::sqrt((r1 * c) / 1000.0) * 6.2832);
    EXPECT_EQ(calc::tf(r1, c, r2, c2),
              std::sqrt(r1 * ((2.0 + c) + (r2 * c2) / (r2 + c2))) * 6.2832);
}

TEST(Formulas, OrderMattersForTheChosenValues) {
    // Guards the test above: with these operands a reordered formula would
    // not give the same bits, so that test can catch a reordering.
    const double r1 = 3.3, r2 = 4.7, c = 0.01;
    EXPECT_NE((0.693 * (r1 + r2)) * c, 0.693 * r1 * c + 0.693 * r2 * c);
    EXPECT_NE((6.2832 * r1) * c, 6.2832 * (r1 * c));
    EXPECT_NE((2.197 * r1) * c, 2.197 * (r1 * c));
}

} // namespace
