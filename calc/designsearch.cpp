#include "calc/designsearch.h"

#include "calc/circuitparts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <tuple>

namespace calc::detail {

namespace {

// Results closer than this are one result: scaling R up and C down by the same
// decade gives the same frequency, and listing it twice helps nobody.
bool sameResult(double a, double b) {
    return std::abs(a - b) <= 1e-12 * std::max(a, b);
}

using Order = bool (*)(const Found&, const Found&);

bool byPreference(const Found& a, const Found& b) {
    return std::tie(a.distinct, a.off, a.error, a.x) < std::tie(b.distinct, b.off, b.error, b.x);
}

bool byError(const Found& a, const Found& b) {
    return std::tie(a.error, a.distinct, a.off, a.x) < std::tie(b.error, b.distinct, b.off, b.x);
}

// How far parts sit from the middle of their ranges counts in tenths of a
// decade: parts a step of the series apart are as ordinary as each other,
// and the smaller error decides between them.
double tenths(double decades) {
    return std::floor(decades * 10 + 0.5) / 10;
}

// The distance from the middle a collection first takes, in decades.
constexpr double kFirstOff = 0.1;

// Collects the combinations that obey the rules within a window of
// frequencies (or, for a wound coil, of coils) and a bound on the ranking,
// sorts them and takes the best; window and bound widen until the best are
// known to be within them. Each box in the rules' order takes only the values
// that can still end in the window (the boxes after it at their extremes:
// every formula falls in each value), so the last box is a bisection.
class Search {
public:
    explicit Search(const Query& q) : q_(q) {
        for (const std::size_t b : q.rules.order) {
            const auto in = std::find_if(q.inputs.begin(), q.inputs.end(),
                                         [&](const DesignInput& i) { return i.box == b; });
            if (in != q.inputs.end() && b != q.wound.value_or(4)) {
                levels_.push_back({b, in->kind, std::pow(10.0, in->unitExponent)});
            }
        }
        for (std::size_t b = 0; b < 4; ++b) {
            x_[b] = q.choices[b].values.front();
        }
        if (q.wound) {
            const double omega = 2 * std::numbers::pi * q.target;
            const double unit = std::pow(10.0, unitExponent(*q.wound));
            const Span z = *q.rules.impedance;
            x_[*q.wound] = 1.0;
            coilWindow_ = {std::max(q.woundRange.low, z.low / omega) / unit,
                           std::min(q.woundRange.high, z.high / omega) / unit};
            coilCentre_ = std::sqrt(z.low * z.high) / omega / unit;
        }
    }

    std::vector<Found> run() { return q_.wound ? tanks() : ranked(); }

    // The duty closest to `wanted` over every combination, whether it starts
    // or not; only asked when none is close enough.
    double nearestDuty(double wanted) {
        double nearest = -1.0;
        nearestFrom(0, wanted, nearest);
        return nearest;
    }

private:
    struct Level {
        std::size_t box;
        Kind kind;
        double unit; // the box's unit in ohms, farads or henries
    };

    // How far down the ranking a collection reaches: fewer different values
    // take part whatever their distance from the middle, as many at most
    // this far from it.
    struct Bound {
        int distinct;
        double off;
    };
    static constexpr Bound kAll{std::numeric_limits<int>::max(),
                                std::numeric_limits<double>::infinity()};

    // The good enough by preference, then the rest by error.
    std::vector<Found> ranked() {
        if (q_.closest) {
            // The closest lie far nearer than the margin where parts abound.
            return closest({}, kGoodEnough / 64, q_.top);
        }
        double error = kGoodEnough;
        std::vector<Found> list = preferred(window(error), q_.top);
        if (list.empty()) {
            // Nothing within the ordinary margin: within a little of the best.
            const std::vector<Found> best = closest({}, 2 * error, 1);
            if (best.empty()) {
                return {};
            }
            error = best.front().error + kGoodEnoughSlack;
            list = preferred(window(error), q_.top);
        }
        // Every result within the margin is in the list already.
        return list.size() >= q_.top ? list : closest(list, 2 * error, q_.top);
    }

    // `list`, then the closest results not in it up to n: the window widens
    // from `error` until it holds them or all the boxes can reach.
    std::vector<Found> closest(const std::vector<Found>& list, double error, std::size_t n) {
        for (;; error *= 2) {
            std::vector<Found> more = list;
            std::vector<Found> within = collect(window(error), kAll);
            take(more, within, byError, n);
            if (more.size() >= n || coversReach(error)) {
                return more;
            }
        }
    }

    // The n best by preference within `w`: the bound widens until the list
    // is full, as what lies beyond it ranks lower.
    std::vector<Found> preferred(Span w, std::size_t n) {
        const double farthest = farthestOff(w);
        for (Bound b{fewestValues(), kFirstOff};;) {
            std::vector<Found> list;
            std::vector<Found> within = collect(w, b);
            take(list, within, byPreference, n);
            const bool all = b.off >= farthest && b.distinct >= static_cast<int>(levels_.size());
            if (list.size() >= n || all) {
                return list;
            }
            b = b.off >= farthest ? Bound{b.distinct + 1, kFirstOff} : Bound{b.distinct, b.off * 2};
        }
    }

    // Every combination hits the target, the coil making up the rest, and
    // the tank's impedance ranks it: the window is that of the coils the
    // rules allow.
    std::vector<Found> tanks() {
        const std::size_t wanted = q_.closest ? std::max(q_.top, kWoundClosestPool) : q_.top;
        std::vector<Found> list = preferred(coilWindow_, wanted);
        if (q_.closest) {
            // The coil's rounding to three digits is all the error there is,
            // and it follows no order a window could stop on: the closest
            // are sorted from a wide pool of the preferred.
            std::stable_sort(list.begin(), list.end(), byError);
            list.resize(std::min(list.size(), q_.top));
        }
        return list;
    }

    // Sorts `items` by `order` and appends the best to `list` until it holds
    // n, each result once.
    void take(std::vector<Found>& list, std::vector<Found>& items, Order order,
              std::size_t n) const {
        std::sort(items.begin(), items.end(), order);
        for (const Found& f : items) {
            if (list.size() >= n) {
                return;
            }
            if (std::none_of(list.begin(), list.end(),
                             [&](const Found& g) { return same(g, f); })) {
                list.push_back(f);
            }
        }
    }

    // A wound coil rounded to three digits gives many capacitors the same
    // frequency, each with its own tank impedance: there only the same parts
    // are the same result.
    bool same(const Found& a, const Found& b) const {
        return q_.wound ? a.x == b.x : sameResult(a.hz, b.hz);
    }

    Span window(double error) const {
        return {q_.target * (1 - std::min(error, 1.0)), q_.target * (1 + error)};
    }

    // Whether the window holds every frequency the rules let the boxes reach.
    bool coversReach(double error) const {
        const Span w = window(error);
        return w.low <= q_.reach.low && w.high >= q_.reach.high;
    }

    // A lower bound of the different values a combination needs: one per
    // kind, and one more where the capacitor ratio keeps two apart.
    int fewestValues() const {
        std::array<bool, kKinds> kinds{};
        for (const Level& l : levels_) {
            kinds[static_cast<std::size_t>(l.kind)] = true;
        }
        const auto& ratio = q_.rules.capacitorRatio;
        return static_cast<int>(std::count(kinds.begin(), kinds.end(), true)) +
               (ratio && !ratio->span.contains(1.0) ? 1 : 0);
    }

    // No combination within `w` lies further from the middle than this.
    double farthestOff(Span w) const {
        if (q_.wound) {
            return std::max(std::abs(std::log10(w.low / coilCentre_)),
                            std::abs(std::log10(w.high / coilCentre_)));
        }
        double sum = 0.0;
        for (const Level& l : levels_) {
            const auto& off = q_.choices[l.box].offCentre;
            sum += *std::max_element(off.begin(), off.end());
        }
        return sum + 0.1; // past its rounding to tenths
    }

    int unitExponent(std::size_t box) const {
        return std::find_if(q_.inputs.begin(), q_.inputs.end(),
                            [&](const DesignInput& i) { return i.box == box; })
            ->unitExponent;
    }

    // The combinations within `w` and the bound that obey the rules.
    std::vector<Found> collect(Span w, Bound b) {
        std::vector<Found> out;
        descend(0, 0.0, w, b, out);
        return out;
    }

    void descend(std::size_t level, double off, Span w, Bound b, std::vector<Found>& out) {
        const std::size_t box = levels_[level].box;
        const Choices& c = q_.choices[box];
        const auto [first, end] = allowedByValueRules(level);
        const auto [lo, hi] = feasible(level, first, end, w);
        if (level + 1 == levels_.size()) {
            last(off, w, b, lo, hi, out);
            return;
        }
        for (std::size_t i = lo; i < hi; ++i) {
            x_[box] = c.values[i];
            pick_[box] = static_cast<std::uint32_t>(i);
            const double here = off + (q_.wound ? 0.0 : c.offCentre[i]);
            // The rest add a value at least for each kind they bring.
            const int fewest = distinct(level + 1) + laterKinds(level);
            const bool within =
                fewest < b.distinct || (fewest == b.distinct && tenths(here) <= b.off);
            if (within && (level + 2 < levels_.size() || dutyReachable(level))) {
                descend(level + 1, here, w, b, out);
            }
        }
    }

    // The last box: a value equal to an earlier part's adds none to buy; a
    // new one must be within the bound, which for a wound coil is a window
    // of tank impedances.
    void last(double off, Span w, Bound b, std::size_t lo, std::size_t hi,
              std::vector<Found>& out) {
        const std::size_t level = levels_.size() - 1;
        const Level& here = levels_[level];
        const std::vector<double>& v = q_.choices[here.box].values;
        const int before = distinct(level);
        const auto offer = [&](std::size_t i) {
            x_[here.box] = v[i];
            pick_[here.box] = static_cast<std::uint32_t>(i);
            const Found f = found(off + (q_.wound ? 0.0 : q_.choices[here.box].offCentre[i]));
            if (std::tie(f.distinct, f.off) <= std::tie(b.distinct, b.off) && obeysRules(f)) {
                out.push_back(f);
            }
        };
        std::array<std::size_t, 4> ties{};
        std::size_t count = 0;
        const auto tie = [&](std::size_t i) {
            return std::find(ties.begin(), ties.begin() + count, i) != ties.begin() + count;
        };
        for (std::size_t k = 0; k < level; ++k) {
            const double value = x_[levels_[k].box];
            const auto i = static_cast<std::size_t>(
                std::lower_bound(v.begin() + lo, v.begin() + hi, value) - v.begin());
            if (levels_[k].kind == here.kind && i < hi && v[i] == value && !tie(i)) {
                ties[count++] = i;
                offer(i);
            }
        }
        if (before + 1 > b.distinct) {
            return;
        }
        std::size_t from = lo;
        std::size_t to = hi;
        if (q_.wound && before + 1 == b.distinct) {
            const double spread = std::pow(10.0, b.off) * (1 + 1e-9);
            std::tie(from, to) = feasible(
                level, lo, hi,
                {std::max(w.low, coilCentre_ / spread), std::min(w.high, coilCentre_ * spread)});
        }
        for (std::size_t i = from; i < to; ++i) {
            if (!tie(i)) {
                offer(i);
            }
        }
    }

    // The full combination in x_, ranked.
    Found found(double off) const {
        Found f{x_, pick_, 0.0, 0.0, distinct(levels_.size()), tenths(off)};
        if (q_.wound) {
            const double m = measure();
            f.off = std::abs(std::log10(m / coilCentre_));
            f.x[*q_.wound] = roundedDecimal(m, 3).value();
        }
        f.hz = frequencyHz(q_.mode, f.x);
        f.error = std::abs(f.hz / q_.target - 1.0);
        return f;
    }

    // Different part values among the first `count` levels: a value counts
    // once per kind.
    int distinct(std::size_t count) const {
        int n = 0;
        for (auto l = levels_.begin(); l != levels_.begin() + count; ++l) {
            n += std::none_of(levels_.begin(), l, [&](const Level& o) {
                return o.kind == l->kind && x_[o.box] == x_[l->box];
            });
        }
        return n;
    }

    // The kinds only the levels after `level` have.
    int laterKinds(std::size_t level) const {
        std::array<int, kKinds> where{}; // 1: up to the level, 2: only after it
        for (std::size_t k = 0; k < levels_.size(); ++k) {
            int& w = where[static_cast<std::size_t>(levels_[k].kind)];
            w = k <= level ? 1 : (w == 0 ? 2 : w);
        }
        return static_cast<int>(std::count(where.begin(), where.end(), 2));
    }

    // Falls with every box: the frequency, or for a wound coil the
    // inductance (in its box's unit) that gives the target.
    double measure() const {
        if (!q_.wound) {
            return frequencyHz(q_.mode, x_);
        }
        const double t = periods(q_.mode, x_)->t * q_.target / hzPerUnit(q_.mode);
        return 1.0 / (t * t); // the period grows with √L
    }

    // The boxes after `level` at their lowest or highest values.
    void setRest(std::size_t level, bool high) {
        for (std::size_t k = level + 1; k < levels_.size(); ++k) {
            const auto& v = q_.choices[levels_[k].box].values;
            x_[levels_[k].box] = high ? v.back() : v.front();
        }
    }

    // The choices of the level's box that can still end within the window.
    std::pair<std::size_t, std::size_t> feasible(std::size_t level, std::size_t first,
                                                 std::size_t end, Span w) {
        const std::size_t b = levels_[level].box;
        const std::vector<double>& v = q_.choices[b].values;
        // The index of the first value for which `test` fails, the rest at
        // their highest or lowest.
        const auto split = [&](std::size_t from, std::size_t to, bool high, auto test) {
            return static_cast<std::size_t>(std::partition_point(v.begin() + from, v.begin() + to,
                                                                 [&](double value) {
                                                                     x_[b] = value;
                                                                     setRest(level, high);
                                                                     return test();
                                                                 }) -
                                            v.begin());
        };
        std::size_t lo = split(first, end, true, [&] { return measure() > w.high; });
        std::size_t hi = split(lo, end, false, [&] { return measure() >= w.low; });
        if (q_.duty && level + 1 < levels_.size() && lo < hi) {
            // T1 = duty × T, and T1 grows with every box.
            const double hz = hzPerUnit(q_.mode);
            const double tLow = hz / w.high;
            const double tHigh = w.low > 0 ? hz / w.low : std::numeric_limits<double>::infinity();
            const auto t1 = [&] { return periods(q_.mode, x_)->t1; };
            lo = split(lo, hi, true, [&] { return t1() < q_.duty->low * tLow; });
            hi = split(lo, hi, false, [&] { return t1() <= q_.duty->high * tHigh; });
        }
        return {lo, std::max(lo, hi)};
    }

    // Whether T1/T can still fall in its window with the last box at either
    // end of its values (it moves one way along each box).
    bool dutyReachable(std::size_t level) {
        if (!q_.duty) {
            return true;
        }
        std::array<double, 2> d{};
        for (const bool high : {false, true}) {
            setRest(level, high);
            const Periods p = *periods(q_.mode, x_);
            d[high] = p.t1 / p.t;
        }
        return std::max(d[0], d[1]) >= q_.duty->low && std::min(d[0], d[1]) <= q_.duty->high;
    }

    // The choices of the level's box that the rules on values allow, given
    // the boxes chosen before it: R1 + R2 of the 555, C2 / C1 of the divider,
    // the multivibrator's two base resistors.
    std::pair<std::size_t, std::size_t> allowedByValueRules(std::size_t level,
                                                            bool startup = true) const {
        const Level& here = levels_[level];
        const std::vector<double>& v = q_.choices[here.box].values;
        Span allowed{0.0, std::numeric_limits<double>::infinity()};
        if (q_.rules.maxResistorSum > 0 && here.kind == Kind::Resistor) {
            double others = 0.0;
            bool all = true;
            for (std::size_t k = 0; k < levels_.size(); ++k) {
                if (k != level && levels_[k].kind == Kind::Resistor) {
                    others += x_[levels_[k].box] * levels_[k].unit;
                    all = all && k < level;
                }
            }
            if (all) {
                allowed.high = (q_.rules.maxResistorSum - others) * (1 + 1e-9);
            }
        }
        if (const auto& ratio = q_.rules.capacitorRatio) {
            const bool top = here.box == ratio->numerator;
            const std::size_t o = top ? ratio->denominator : ratio->numerator;
            const auto other = std::find_if(levels_.begin(), levels_.begin() + level,
                                            [&](const Level& l) { return l.box == o; });
            if ((top || here.box == ratio->denominator) && other != levels_.begin() + level) {
                const double value = x_[o] * other->unit;
                const Span r = ratio->span;
                allowed =
                    top ? Span{value * r.low, value * r.high} : Span{value / r.high, value / r.low};
                allowed = {allowed.low * (1 - 1e-9), allowed.high * (1 + 1e-9)};
            }
        }
        auto lo = std::lower_bound(v.begin(), v.end(), allowed.low / here.unit);
        auto hi = std::upper_bound(lo, v.end(), allowed.high / here.unit);
        const auto other = std::find_if(levels_.begin(), levels_.begin() + level,
                                        [](const Level& l) { return l.kind == Kind::Resistor; });
        if (startup && q_.rules.startup == Startup::SaturatingSwitches &&
            here.kind == Kind::Resistor && other != levels_.begin() + level) {
            // The transistors saturate and recover with base resistors near
            // enough each other: the values around the other one's.
            const double r = x_[other->box] * other->unit;
            const auto starts = [&](double value) {
                return collectorResistor(r, value * here.unit).has_value();
            };
            const auto mid =
                std::clamp(std::lower_bound(v.begin(), v.end(), r / here.unit), lo, hi);
            lo = std::partition_point(lo, mid, [&](double value) { return !starts(value); });
            hi = std::partition_point(mid, hi, starts);
        }
        return {static_cast<std::size_t>(lo - v.begin()),
                static_cast<std::size_t>(std::max(lo, hi) - v.begin())};
    }

    // The rules on values alone hold already: each level took only what they
    // allow. Left: the duty, the start-up and a standard coil's impedance.
    bool obeysRules(const Found& f) const {
        if (q_.duty) {
            const Periods p = *periods(q_.mode, f.x);
            if (!q_.duty->contains(p.t1 / p.t)) {
                return false;
            }
        }
        std::array<double, 4> si{};
        for (const DesignInput& in : q_.inputs) {
            si[in.box] = f.x[in.box] * std::pow(10.0, in.unitExponent);
        }
        if (!starts(q_.rules, si, f.hz)) {
            return false;
        }
        if (q_.rules.impedance && !q_.wound) {
            const auto coil =
                std::find_if(q_.inputs.begin(), q_.inputs.end(),
                             [](const DesignInput& i) { return i.kind == Kind::Inductor; });
            return q_.rules.impedance->contains(2 * std::numbers::pi * f.hz * f.x[coil->box] *
                                                std::pow(10.0, coil->unitExponent));
        }
        return true;
    }

    void nearestFrom(std::size_t level, double wanted, double& nearest) {
        const std::size_t b = levels_[level].box;
        const auto [lo, hi] = allowedByValueRules(level, false);
        for (std::size_t i = lo; i < hi; ++i) {
            x_[b] = q_.choices[b].values[i];
            if (level + 1 < levels_.size()) {
                nearestFrom(level + 1, wanted, nearest);
                continue;
            }
            const Periods p = *periods(q_.mode, x_);
            const double d = p.t1 / p.t;
            if (nearest < 0 || std::abs(d - wanted) < std::abs(nearest - wanted)) {
                nearest = d;
            }
        }
    }

    const Query& q_;
    std::vector<Level> levels_; // the boxes searched, in the rules' order
    Span coilWindow_;           // a wound coil's values the rules allow, in its box's unit
    double coilCentre_ = 0.0;   // the coil of the tank's middle impedance
    std::array<double, 4> x_{};
    std::array<std::uint32_t, 4> pick_{};
};

} // namespace

std::array<double, 4> corner(const std::array<Choices, 4>& choices, bool high) {
    std::array<double, 4> x{};
    for (std::size_t b = 0; b < 4; ++b) {
        x[b] = high ? choices[b].values.back() : choices[b].values.front();
    }
    return x;
}

std::vector<Found> findParts(const Query& q) {
    return Search(q).run();
}

double nearestDuty(const Query& q, double wanted) {
    return Search(q).nearestDuty(wanted);
}

} // namespace calc::detail
