#include "calc/designsearch.h"

#include "calc/circuitparts.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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

// A wound coil rounded to three digits gives many capacitors the same
// frequency, each with its own tank impedance: there only the same parts are
// the same result.
bool sameParts(const Found& a, const Found& b) {
    return a.x == b.x;
}

bool sameFrequency(const Found& a, const Found& b) {
    return sameResult(a.hz, b.hz);
}

using Same = bool (*)(const Found&, const Found&);

// The n best by an order, each result once (with its best parts).
class BestN {
public:
    using Order = bool (*)(const Found&, const Found&);
    BestN(std::size_t n, Order less, Same same = sameFrequency) : n_(n), less_(less), same_(same) {}

    bool full() const { return items_.size() >= n_; }
    bool empty() const { return items_.empty(); }
    const Found& worst() const { return items_.front(); }

    void offer(const Found& f) {
        if (full() && !less_(f, worst())) {
            return;
        }
        for (Found& member : items_) {
            if (same_(member, f)) {
                if (less_(f, member)) {
                    member = f;
                    std::make_heap(items_.begin(), items_.end(), less_);
                }
                return;
            }
        }
        if (full()) {
            std::pop_heap(items_.begin(), items_.end(), less_);
            items_.back() = f;
        } else {
            items_.push_back(f);
        }
        std::push_heap(items_.begin(), items_.end(), less_);
    }

    std::vector<Found> sorted() const {
        std::vector<Found> v = items_;
        std::sort(v.begin(), v.end(), less_);
        return v;
    }

private:
    std::size_t n_;
    Order less_;
    Same same_;
    std::vector<Found> items_; // a heap, the worst in front
};

// A depth-first search over the boxes in the rules' order. Each level takes
// only the values that can still bring the result into the window (the boxes
// after it at their extremes: every formula falls in each value), and walks
// them outwards from where the ranking is best, so that it can stop a
// direction as soon as nothing further out can be taken.
class Search {
public:
    explicit Search(const Query& q)
        : rules_(q.rules), mode_(q.mode), choices_(q.choices), wound_(q.wound), target_(q.target),
          duty_(q.duty), top_(q.top), reach_(q.reach), same_(q.wound ? sameParts : sameFrequency) {
        for (const DesignInput& in : q.inputs) {
            scale_[in.box] = std::pow(10.0, in.unitExponent);
            kind_[in.box] = in.kind;
            used_[in.box] = in.box != wound_.value_or(4);
        }
        std::copy_if(rules_.order.begin(), rules_.order.end(), std::back_inserter(levels_),
                     [&](std::size_t b) { return used_[b]; });
        for (std::size_t b = 0; b < 4; ++b) {
            x_[b] = choices_[b].values.front();
            const auto& off = choices_[b].offCentre;
            centre_[b] =
                static_cast<std::size_t>(std::min_element(off.begin(), off.end()) - off.begin());
        }
        if (wound_) {
            const double omega = 2 * std::numbers::pi * target_;
            const double unit = scale_[*wound_];
            const Span z = *rules_.impedance;
            x_[*wound_] = 1.0;
            woundWindow_ = {std::max(q.woundRange.low, z.low / omega) / unit,
                            std::min(q.woundRange.high, z.high / omega) / unit};
            woundCentre_ = std::sqrt(z.low * z.high) / omega / unit;
        }
    }

    // The good enough by preference, then the rest by error.
    std::vector<Found> run(bool closest) {
        if (wound_) {
            // Every combination hits the target: the coil makes up the rest,
            // and its rounding to three digits is all the error there is.
            // That error follows no order the walk could stop on, so the
            // closest are sorted from a wide pool of the preferred.
            if (!closest) {
                preferred_.visit(*this, woundWindow_);
                return merged();
            }
            const std::size_t wanted = top_;
            top_ = std::max(top_, kWoundClosestPool);
            preferred_.visit(*this, woundWindow_);
            std::vector<Found> pool = merged();
            std::stable_sort(pool.begin(), pool.end(), detail::byError);
            pool.resize(std::min(pool.size(), wanted));
            return pool;
        }
        double threshold = kGoodEnough;
        if (!closest) {
            preferred_.visit(*this, window(threshold));
            if (preferred_.heap.empty()) {
                // Nothing within the ordinary margin: within a little of the best.
                fill(1);
                if (closest_.heap.empty()) {
                    return {};
                }
                threshold = closest_.heap.sorted().front().error + kGoodEnoughSlack;
                preferred_.visit(*this, window(threshold));
            }
            if (merged().size() >= top_) {
                return merged();
            }
        }
        fill(top_);
        return merged();
    }

    // The duty closest to `wanted` over every combination; only asked when
    // none is close enough.
    double nearestDuty(double wanted) {
        nearest_ = -1.0;
        wantedDuty_ = wanted;
        nearestFrom(0);
        return nearest_;
    }

private:
    // What one pass of the search keeps: the good enough by preference, or
    // any by error.
    struct Pass {
        BestN heap;
        bool byError;
        Span window{};

        void visit(Search& s, Span w) {
            heap = BestN(s.top_, byError ? detail::byError : byPreference, s.same_);
            window = w;
            s.descend(*this, 0, 0.0);
        }
    };

    Span window(double error) const {
        return {target_ * (1 - std::min(error, 1.0)), target_ * (1 + error)};
    }

    // Closest results by error, the window widening until there are enough.
    void fill(std::size_t wanted) {
        for (double reach = kGoodEnough;; reach *= 8) {
            closest_.visit(*this, window(reach));
            if (merged().size() >= wanted || (target_ * (1 - std::min(reach, 1.0)) <= reach_.low &&
                                              target_ * (1 + reach) >= reach_.high)) {
                return;
            }
        }
    }

    // Falls with every box: the frequency, or for a wound coil the
    // inductance (in its box's unit) that gives the target.
    double measure() const {
        if (!wound_) {
            return frequencyHz(mode_, x_);
        }
        const double t = periods(mode_, x_)->t * target_ / hzPerUnit(mode_);
        return 1.0 / (t * t); // the period grows with √L
    }

    // The boxes after `level` at their lowest or highest values.
    void setRest(std::size_t level, bool high) {
        for (std::size_t k = level + 1; k < levels_.size(); ++k) {
            const auto& v = choices_[levels_[k]].values;
            x_[levels_[k]] = high ? v.back() : v.front();
        }
    }

    // The choices of the level's box that can still end within the window.
    std::pair<std::size_t, std::size_t> feasible(std::size_t level, std::size_t first,
                                                 std::size_t end, Span w) {
        const std::size_t b = levels_[level];
        const std::vector<double>& v = choices_[b].values;
        const auto with = [&](double value, bool high) {
            x_[b] = value;
            setRest(level, high);
        };
        const auto index = [&](auto it) { return static_cast<std::size_t>(it - v.begin()); };
        std::size_t lo =
            index(std::partition_point(v.begin() + first, v.begin() + end, [&](double value) {
                with(value, true);
                return measure() > w.high;
            }));
        std::size_t hi =
            index(std::partition_point(v.begin() + lo, v.begin() + end, [&](double value) {
                with(value, false);
                return measure() >= w.low;
            }));
        if (duty_ && level + 1 < levels_.size() && lo < hi) {
            // T1 = duty × T, and T1 grows with every box.
            const double tLow = hzPerUnit(mode_) / w.high;
            const double tHigh =
                w.low > 0 ? hzPerUnit(mode_) / w.low : std::numeric_limits<double>::infinity();
            lo = index(std::partition_point(v.begin() + lo, v.begin() + hi, [&](double value) {
                with(value, true);
                return periods(mode_, x_)->t1 < duty_->low * tLow;
            }));
            hi = index(std::partition_point(v.begin() + lo, v.begin() + hi, [&](double value) {
                with(value, false);
                return periods(mode_, x_)->t1 <= duty_->high * tHigh;
            }));
        }
        return {lo, std::max(lo, hi)};
    }

    // Different values among the boxes of the levels up to `level`, plus one
    // for each kind that only the later levels have: what the full
    // combination needs at least.
    int distinctUpTo(std::size_t level, bool assumeNew) const {
        int n = 0;
        std::array<bool, kKinds> seen{};
        for (std::size_t k = 0; k < levels_.size(); ++k) {
            const std::size_t b = levels_[k];
            const auto kind = static_cast<std::size_t>(kind_[b]);
            bool again = k > level && seen[kind];
            for (std::size_t o = 0; o < k && k <= level && !(assumeNew && k == level); ++o) {
                again = again || (kind_[levels_[o]] == kind_[b] && x_[levels_[o]] == x_[b]);
            }
            n += again ? 0 : 1;
            seen[kind] = true;
        }
        return n;
    }

    // Values equal to a part already chosen: fewer parts to buy, so they are
    // tried even where their neighbours were given up. At most three.
    struct Ties {
        std::array<std::size_t, 3> at{};
        std::size_t count = 0;
        const std::size_t* begin() const { return at.data(); }
        const std::size_t* end() const { return at.data() + count; }
    };

    Ties ties(std::size_t level, std::size_t lo, std::size_t hi) const {
        Ties found;
        const std::size_t b = levels_[level];
        const std::vector<double>& v = choices_[b].values;
        for (std::size_t k = 0; k < level; ++k) {
            const std::size_t o = levels_[k];
            if (kind_[o] != kind_[b]) {
                continue;
            }
            const auto it = std::lower_bound(v.begin() + lo, v.begin() + hi, x_[o]);
            if (it != v.begin() + hi && *it == x_[o]) {
                found.at[found.count++] = static_cast<std::size_t>(it - v.begin());
            }
        }
        return found;
    }

    enum class Step { Go, Stop };

    // Calls `step` for lo..hi-1 outwards from `centre`: down, then up; each
    // direction ends at the first Stop. Ties are tried afterwards if missed.
    template <class F>
    void walk(std::size_t level, std::size_t lo, std::size_t hi, std::size_t centre, F&& step) {
        centre = std::clamp(centre, lo, hi);
        std::size_t down = centre;
        while (down > lo && step(down - 1, false) == Step::Go) {
            --down;
        }
        std::size_t up = centre;
        while (up < hi && step(up, false) == Step::Go) {
            ++up;
        }
        const std::size_t b = levels_[level];
        std::array<double, 4> keep = x_;
        for (const std::size_t i : ties(level, lo, hi)) {
            if (i < down || i >= up) {
                x_ = keep;
                step(i, true);
            }
        }
        x_[b] = keep[b];
    }

    // Whether the bound says nothing from here on can enter the heap.
    bool hopeless(const Pass& pass, int distinct, double off, double error) const {
        if (!pass.heap.full()) {
            return false;
        }
        const Found& w = pass.heap.worst();
        return pass.byError ? error > w.error
                            : std::tie(distinct, off) > std::tie(w.distinct, w.off);
    }

    void descend(Pass& pass, std::size_t level, double off) {
        const std::size_t b = levels_[level];
        const Choices& c = choices_[b];
        const bool last = level + 1 == levels_.size();
        if (pass.byError && pass.heap.full()) {
            pass.window = window(std::min(pass.window.high / target_ - 1, pass.heap.worst().error));
        }
        if (last && !pass.byError && hopeless(pass, distinctUpTo(level, true), off, 0.0)) {
            // Only a value equal to one already chosen can still be taken.
            for (const std::size_t i : ties(level, 0, c.values.size())) {
                x_[b] = c.values[i];
                pick_[b] = static_cast<std::uint32_t>(i);
                consider(pass, level, i, off, true);
            }
            return;
        }
        if (pass.byError && rules_.lastTwoOneTerm && level + 2 == levels_.size()) {
            closestPair(pass, level, off);
            return;
        }
        auto [lo, hi] = allowedByValueRules(level);
        if (!last) {
            std::tie(lo, hi) = feasible(level, lo, hi, pass.window);
            walk(level, lo, hi, centre_[b], [&](std::size_t i, bool tie) {
                x_[b] = c.values[i];
                pick_[b] = static_cast<std::uint32_t>(i);
                const double here = off + (wound_ ? 0.0 : c.offCentre[i]);
                if (!pass.byError && hopeless(pass, distinctUpTo(level, !tie), tenths(here), 0.0)) {
                    return Step::Stop;
                }
                if (level + 2 == levels_.size() && !dutyReachable(level)) {
                    return Step::Go;
                }
                descend(pass, level + 1, here);
                return Step::Go;
            });
            return;
        }
        // The walk starts where the ranking is best: nearest the target, the
        // tank's middle impedance, or the middle of the box's range (which
        // needs the window's ends, as the error does not grow from there).
        std::size_t centre = centre_[b];
        if (pass.byError || wound_) {
            const double aim = wound_ ? woundCentre_ : target_;
            centre = static_cast<std::size_t>(std::partition_point(c.values.begin() + lo,
                                                                   c.values.begin() + hi,
                                                                   [&](double value) {
                                                                       x_[b] = value;
                                                                       return measure() > aim;
                                                                   }) -
                                              c.values.begin());
        } else {
            std::tie(lo, hi) = feasible(level, lo, hi, pass.window);
        }
        walk(level, lo, hi, centre, [&](std::size_t i, bool tie) {
            x_[b] = c.values[i];
            pick_[b] = static_cast<std::uint32_t>(i);
            return consider(pass, level, i, off, tie);
        });
    }

    // Whether T1/T can still fall in its window with the last box at either
    // end of its values (it moves one way along each box).
    bool dutyReachable(std::size_t level) {
        if (!duty_) {
            return true;
        }
        std::array<double, 2> d{};
        for (const bool high : {false, true}) {
            setRest(level, high);
            const Periods p = *periods(mode_, x_);
            d[high] = p.t1 / p.t;
        }
        return std::max(d[0], d[1]) >= duty_->low && std::min(d[0], d[1]) <= duty_->high;
    }

    // The last two boxes by error, through their combinations sorted once by
    // the term they add: one bisection instead of one per value of the first.
    void closestPair(Pass& pass, std::size_t level, double off) {
        const std::size_t a = levels_[level];
        const std::size_t b = levels_[level + 1];
        const auto place = [&](const Pair& p) {
            x_[a] = choices_[a].values[p.a];
            x_[b] = choices_[b].values[p.b];
            pick_[a] = p.a;
            pick_[b] = p.b;
        };
        if (pairs_.empty()) {
            for (std::uint32_t i = 0; i < choices_[a].values.size(); ++i) {
                for (std::uint32_t k = 0; k < choices_[b].values.size(); ++k) {
                    pairs_.push_back({0.0, i, k});
                    place(pairs_.back());
                    pairs_.back().key = periods(mode_, x_)->t;
                }
            }
            std::sort(pairs_.begin(), pairs_.end(),
                      [](const Pair& p, const Pair& q) { return p.key < q.key; });
        }
        const auto centre = std::partition_point(pairs_.begin(), pairs_.end(), [&](const Pair& p) {
            place(p);
            return measure() > target_;
        });
        const auto step = [&](const Pair& p) {
            place(p);
            return consider(pass, level + 1, pick_[b], off + choices_[a].offCentre[p.a], true) ==
                       Step::Go &&
                   measure() >= pass.window.low && measure() <= pass.window.high &&
                   !hopeless(pass, 0, 0.0, std::abs(measure() / target_ - 1.0));
        };
        for (auto it = centre; it != pairs_.begin() && step(*(it - 1)); --it) {
        }
        for (auto it = centre; it != pairs_.end() && step(*it); ++it) {
        }
    }

    // Offers the full combination in x_ to the pass; Stop when nothing
    // further from the centre can be taken.
    Step consider(Pass& pass, std::size_t level, std::size_t i, double off, bool tie) {
        const double m = measure();
        if (m < pass.window.low || m > pass.window.high) {
            return tie ? Step::Go : Step::Stop;
        }
        Found f{x_, pick_, 0.0, 0.0, distinctUpTo(level, false), off};
        if (wound_) {
            f.off = std::abs(std::log10(m / woundCentre_));
            f.x[*wound_] = roundedDecimal(m, 3).value();
        } else {
            f.off = tenths(f.off + choices_[levels_[level]].offCentre[i]);
        }
        f.hz = frequencyHz(mode_, f.x);
        f.error = std::abs(f.hz / target_ - 1.0);
        if (hopeless(pass, tie ? f.distinct : distinctUpTo(level, true), f.off, f.error)) {
            return tie ? Step::Go : Step::Stop;
        }
        if (obeysRules(f)) {
            pass.heap.offer(f);
        }
        return Step::Go;
    }

    // The choices of the level's box that the rules on values allow, given
    // the boxes chosen before it: R1 + R2 of the 555, C2 / C1 of the divider.
    std::pair<std::size_t, std::size_t> allowedByValueRules(std::size_t level) const {
        const std::size_t b = levels_[level];
        const std::vector<double>& v = choices_[b].values;
        if (rules_.maxResistorSum <= 0 && !rules_.capacitorRatio) {
            return {0, v.size()};
        }
        Span allowed{0.0, std::numeric_limits<double>::infinity()};
        const auto chosen = [&](std::size_t box) {
            return std::find(levels_.begin(), levels_.begin() + level, box) !=
                   levels_.begin() + level;
        };
        if (rules_.maxResistorSum > 0 && kind_[b] == Kind::Resistor) {
            double others = 0.0;
            bool all = true;
            for (const std::size_t o : levels_) {
                if (o != b && kind_[o] == Kind::Resistor) {
                    others += x_[o] * scale_[o];
                    all = all && chosen(o);
                }
            }
            if (all) {
                allowed.high = (rules_.maxResistorSum - others) * (1 + 1e-9);
            }
        }
        if (const auto& ratio = rules_.capacitorRatio) {
            const bool top = b == ratio->numerator;
            const std::size_t o = top ? ratio->denominator : ratio->numerator;
            if ((top || b == ratio->denominator) && chosen(o)) {
                const double other = x_[o] * scale_[o];
                const Span r = ratio->span;
                allowed =
                    top ? Span{other * r.low, other * r.high} : Span{other / r.high, other / r.low};
                allowed = {allowed.low * (1 - 1e-9), allowed.high * (1 + 1e-9)};
            }
        }
        const auto lo = std::lower_bound(v.begin(), v.end(), allowed.low / scale_[b]);
        const auto hi = std::upper_bound(lo, v.end(), allowed.high / scale_[b]);
        return {static_cast<std::size_t>(lo - v.begin()), static_cast<std::size_t>(hi - v.begin())};
    }

    // The rules on values alone hold already: each level took only what they
    // allow. Left: the duty, the start-up and a standard coil's impedance.
    bool obeysRules(const Found& f) const {
        if (duty_) {
            const Periods p = *periods(mode_, f.x);
            if (!duty_->contains(p.t1 / p.t)) {
                return false;
            }
        }
        if (rules_.startup != Startup::None) {
            std::array<double, 4> si{};
            for (std::size_t b = 0; b < 4; ++b) {
                si[b] = f.x[b] * scale_[b];
            }
            if (!starts(rules_, si, f.hz)) {
                return false;
            }
        }
        if (rules_.impedance && !wound_) {
            const auto coil = static_cast<std::size_t>(
                std::find(kind_.begin(), kind_.end(), Kind::Inductor) - kind_.begin());
            return rules_.impedance->contains(2 * std::numbers::pi * f.hz * f.x[coil] *
                                              scale_[coil]);
        }
        return true;
    }

    void nearestFrom(std::size_t level) {
        const std::size_t b = levels_[level];
        const auto [lo, hi] = allowedByValueRules(level);
        for (std::size_t i = lo; i < hi; ++i) {
            x_[b] = choices_[b].values[i];
            if (level + 1 < levels_.size()) {
                nearestFrom(level + 1);
                continue;
            }
            const Periods p = *periods(mode_, x_);
            const double d = p.t1 / p.t;
            if (nearest_ < 0 || std::abs(d - wantedDuty_) < std::abs(nearest_ - wantedDuty_)) {
                nearest_ = d;
            }
        }
    }

    std::vector<Found> merged() const {
        std::vector<Found> list = preferred_.heap.sorted();
        for (const Found& f : closest_.heap.sorted()) {
            if (list.size() < top_ && std::none_of(list.begin(), list.end(),
                                                   [&](const Found& g) { return same_(g, f); })) {
                list.push_back(f);
            }
        }
        return list;
    }

    const DesignRules& rules_;
    Mode mode_;
    std::array<Choices, 4> choices_;
    std::optional<std::size_t> wound_;
    double target_;
    std::optional<Span> duty_;
    std::size_t top_;
    Span reach_;
    Same same_;
    std::array<double, 4> scale_{1.0, 1.0, 1.0, 1.0};
    std::array<Kind, 4> kind_{};
    std::array<bool, 4> used_{}; // searched: the circuit's boxes but a wound coil's
    std::vector<std::size_t> levels_;
    std::array<std::size_t, 4> centre_{}; // the choice nearest the middle of each range
    Span woundWindow_;
    double woundCentre_ = 0.0;
    std::array<double, 4> x_{};
    std::array<std::uint32_t, 4> pick_{};
    struct Pair {
        double key; // the period with the earlier boxes at any value
        std::uint32_t a;
        std::uint32_t b;
    };
    std::vector<Pair> pairs_; // built on first use
    Pass preferred_{BestN(1, byPreference), false};
    Pass closest_{BestN(1, byError), true};
    double nearest_ = -1.0;
    double wantedDuty_ = 0.0;
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
    return Search(q).run(q.closest);
}

double nearestDuty(const Query& q, double wanted) {
    return Search(q).nearestDuty(wanted);
}

} // namespace calc::detail
