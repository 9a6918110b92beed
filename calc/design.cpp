#include "calc/design.h"

#include "calc/inputlimit.h"
#include "calc/numtext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace calc {

namespace {

// IEC 60063, one decade each. E24, E12 and E6 keep the irregular members
// (2.7, 3.3, 4.7, 8.2 ...) that differ from the rounded geometric steps.
constexpr int kE6[] = {100, 150, 220, 330, 470, 680};
constexpr int kE12[] = {100, 120, 150, 180, 220, 270, 330, 390, 470, 560, 680, 820};
constexpr int kE24[] = {100, 110, 120, 130, 150, 160, 180, 200, 220, 240, 270, 300,
                        330, 360, 390, 430, 470, 510, 560, 620, 680, 750, 820, 910};
constexpr int kE48[] = {100, 105, 110, 115, 121, 127, 133, 140, 147, 154, 162, 169,
                        178, 187, 196, 205, 215, 226, 237, 249, 261, 274, 287, 301,
                        316, 332, 348, 365, 383, 402, 422, 442, 464, 487, 511, 536,
                        562, 590, 619, 649, 681, 715, 750, 787, 825, 866, 909, 953};
constexpr int kE96[] = {100, 102, 105, 107, 110, 113, 115, 118, 121, 124, 127, 130, 133, 137,
                        140, 143, 147, 150, 154, 158, 162, 165, 169, 174, 178, 182, 187, 191,
                        196, 200, 205, 210, 215, 221, 226, 232, 237, 243, 249, 255, 261, 267,
                        274, 280, 287, 294, 301, 309, 316, 324, 332, 340, 348, 357, 365, 374,
                        383, 392, 402, 412, 422, 432, 442, 453, 464, 475, 487, 499, 511, 523,
                        536, 549, 562, 576, 590, 604, 619, 634, 649, 665, 681, 698, 715, 732,
                        750, 768, 787, 806, 825, 845, 866, 887, 909, 931, 953, 976};

// Where the f line's unit puts the frequency: kHz, or MHz in mode 6.
double hzPerUnit(Mode mode) {
    return mode == 6 ? 1e6 : 1e3;
}

// Drops the zeros after a decimal point, and the point if nothing follows it.
void trimFraction(std::string& text) {
    if (text.find('.') == std::string::npos) {
        return;
    }
    while (text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
}

// The frequency in Hz of a full set of values.
double hzOf(Mode mode, const std::array<double, 4>& x) {
    return periods(mode, x)->f * hzPerUnit(mode);
}

// m * 10^e as plain decimal text without trailing zeros: what a user types.
std::string decimalText(int mantissa, int exponent) {
    std::string digits = std::to_string(mantissa);
    std::string text;
    if (exponent >= 0) {
        text = digits + std::string(static_cast<std::size_t>(exponent), '0');
    } else {
        const auto shift = static_cast<std::size_t>(-exponent);
        if (digits.size() <= shift) {
            digits.insert(0, shift - digits.size() + 1, '0');
        }
        text = digits;
        text.insert(text.size() - shift, 1, '.');
        trimFraction(text);
    }
    return text;
}

// The values one box may take: a series over a range, or one fixed value.
struct Choices {
    std::vector<double> values; // ascending
    std::vector<std::string> texts;
};

Choices seriesChoices(Series series, DecadeRange range, int unitExponent) {
    Choices c;
    const auto add = [&](int mantissa, int decade) {
        c.texts.push_back(decimalText(mantissa, decade - 2 - unitExponent));
        c.values.push_back(toNumber(c.texts.back()));
    };
    for (int decade = range.low; decade < range.high; ++decade) {
        for (const int m : seriesMantissas(series)) {
            add(m, decade);
        }
    }
    add(100, range.high);
    return c;
}

// A group of boxes searched together. The period grows with `key` when the
// other groups stay put, so the frequency falls along the sorted items.
struct Item {
    double key;
    std::array<std::uint32_t, 2> pick; // index into the choices of each box
};

struct Factor {
    std::array<std::size_t, 2> boxes{};
    std::size_t size = 1; // boxes in the group: 1 or 2
    // C1 and C2 of the capacitive three-point choose from the same parts and
    // enter the formula alike: each item then stands for both orders.
    bool mirrored = false;
    std::vector<Item> items;
};

// Keys are finite and not negative, so their bit patterns sort like the
// values. A stable radix sort keeps equal keys in the order they were made
// (by pick) and is several times faster than a comparison sort on the
// hundreds of thousands of pairs E96 gives.
void sortByKey(std::vector<Item>& items) {
    constexpr int kBits = 16;
    constexpr std::size_t kBuckets = std::size_t{1} << kBits;
    std::vector<Item> buffer(items.size());
    std::vector<std::size_t> count(kBuckets);
    const auto bits = [](const Item& item) {
        std::uint64_t u;
        std::memcpy(&u, &item.key, sizeof u);
        return u;
    };
    for (int shift = 0; shift < 64; shift += kBits) {
        std::fill(count.begin(), count.end(), 0);
        for (const Item& item : items) {
            ++count[(bits(item) >> shift) & (kBuckets - 1)];
        }
        std::size_t sum = 0;
        for (std::size_t& c : count) {
            const std::size_t here = c;
            c = sum;
            sum += here;
        }
        for (const Item& item : items) {
            buffer[count[(bits(item) >> shift) & (kBuckets - 1)]++] = item;
        }
        items.swap(buffer);
    }
}

// Modes 2 and 6 add up terms that depend on two boxes together; searching
// such a pair as one sorted list of its term keeps the search a bisection.
using Centres = std::array<std::optional<double>, 4>;

// Results closer than this are one result: scaling R up and C down by the same
// decade gives the same frequency, and listing it five times helps nobody.
constexpr double kSameResult = 1e-12;

bool sameResult(double a, double b) {
    return std::abs(a - b) <= kSameResult * std::max(a, b);
}

// How many decades a searched value sits from the middle of its range.
double offCentre(const Centres& centres, std::size_t box, double value) {
    return centres[box] ? std::abs(std::log10(value) - *centres[box]) : 0.0;
}

// Pairs whose terms are the same give the same result with any other parts;
// only the one with the most ordinary values can ever be shown.
void keepOrdinary(Factor& f, const std::array<Choices, 4>& choices, const Centres& centres) {
    // Each value's distance from the middle, worked out once per value.
    std::array<std::vector<double>, 2> off;
    for (std::size_t k = 0; k < 2; ++k) {
        const std::size_t box = f.boxes[k];
        for (const double v : choices[box].values) {
            off[k].push_back(offCentre(centres, box, v));
        }
    }
    const auto cost = [&](const Item& item) { return off[0][item.pick[0]] + off[1][item.pick[1]]; };
    std::size_t kept = 0;
    for (std::size_t i = 0; i < f.items.size();) {
        std::size_t end = i + 1;
        while (end < f.items.size() && sameResult(f.items[end].key, f.items[i].key)) {
            ++end;
        }
        std::size_t best = i;
        for (std::size_t k = i + 1; k < end; ++k) {
            if (cost(f.items[k]) < cost(f.items[best])) {
                best = k;
            }
        }
        f.items[kept++] = f.items[best];
        i = end;
    }
    f.items.resize(kept);
}

std::vector<Factor> factorsOf(Mode mode, const std::array<Choices, 4>& choices,
                              const Centres& centres) {
    std::vector<std::vector<std::size_t>> layout;
    switch (mode) {
    case 1:
    case 3:
    case 5:
        layout = {{1}, {0}};
        break;
    case 2:
        layout = {{0, 2}, {1, 3}};
        break;
    case 4:
        layout = {{2}, {1}, {0}};
        break;
    case 6:
        layout = {{0}, {1}, {2, 3}};
        break;
    default:
        break;
    }
    std::vector<Factor> factors;
    for (const auto& boxes : layout) {
        Factor f;
        f.size = boxes.size();
        if (f.size == 1) {
            f.boxes = {boxes[0], boxes[0]};
            const Choices& c = choices[boxes[0]];
            for (std::uint32_t i = 0; i < c.values.size(); ++i) {
                f.items.push_back({c.values[i], {i, 0}});
            }
        } else if (mode == 2 && !factors.empty() && choices[1].texts == choices[0].texts &&
                   choices[3].texts == choices[2].texts) {
            // Both halves of the multivibrator choose from the same parts.
            f.boxes = {boxes[0], boxes[1]};
            f.items = factors.front().items;
        } else {
            f.boxes = {boxes[0], boxes[1]};
            const Choices& a = choices[boxes[0]];
            const Choices& b = choices[boxes[1]];
            f.items.reserve(a.values.size() * b.values.size());
            f.mirrored = mode == 6 && a.texts == b.texts;
            for (std::uint32_t i = 0; i < a.values.size(); ++i) {
                for (std::uint32_t k = f.mirrored ? i : 0; k < b.values.size(); ++k) {
                    const double x = a.values[i];
                    const double y = b.values[k];
                    // The term as the formula computes it, operation for operation.
                    const double key = mode == 2 ? (0.693 * x) * y : (x * y) / (x + y);
                    f.items.push_back({key, {i, k}});
                }
            }
            sortByKey(f.items);
            keepOrdinary(f, choices, centres);
        }
        factors.push_back(std::move(f));
    }
    return factors;
}

struct Found {
    double absError;
    std::array<std::uint32_t, 3> items; // item index per factor
    bool swapped;                       // the last factor's pair in the other order
    double hz;
    double spread; // how far the values sit from the middle of their ranges
};

// The tie-break that keeps results independent of the search order.
bool pickedFirst(const Found& a, const Found& b) {
    return a.items < b.items || (a.items == b.items && a.swapped < b.swapped);
}

bool better(const Found& a, const Found& b) {
    if (a.absError != b.absError) {
        return a.absError < b.absError;
    }
    return pickedFirst(a, b);
}

class Search {
public:
    Search(Mode mode, double target, std::optional<double> duty, std::size_t top,
           const std::array<Choices, 4>& choices, std::vector<Factor> factors,
           const std::array<std::optional<double>, 4>& centres)
        : mode_(mode), target_(target), duty_(duty), top_(top), choices_(choices),
          factors_(std::move(factors)), centres_(centres) {}

    std::vector<Found> run() {
        descend(0);
        std::sort_heap(heap_.begin(), heap_.end(), better);
        return heap_;
    }

    // The frequency in Hz of a full pick, with factors from `level` on at
    // their first (low) or last (high) item.
    double frequency(std::size_t level, bool high) {
        for (std::size_t k = level; k < factors_.size(); ++k) {
            place(k, high ? factors_[k].items.size() - 1 : 0);
        }
        return hzOf(mode_, x_);
    }

    // The values with every factor at its first (low) or last (high) item.
    std::array<double, 4> corner(bool high) {
        frequency(0, high);
        return x_;
    }

    const std::vector<Factor>& factors() const { return factors_; }
    void place(std::size_t level, std::size_t index) {
        const Factor& f = factors_[level];
        const Item& item = f.items[index];
        x_[f.boxes[0]] = choices_[f.boxes[0]].values[item.pick[0]];
        x_[f.boxes[1]] = choices_[f.boxes[1]].values[item.pick[f.size - 1]];
        at_[level] = static_cast<std::uint32_t>(index);
    }

    // T1/T with the given item of the factor at `level`.
    double dutyAt(std::size_t level, std::size_t index) {
        place(level, index);
        const Periods p = *periods(mode_, x_);
        return p.t1 / p.t;
    }

    // The duty closest to the wanted one over every combination; only asked
    // when none is close enough, so it need not be fast.
    double nearestDuty() {
        best_ = -1.0;
        nearestFrom(0);
        return best_;
    }

private:
    double errorOf(double hz) const { return std::abs(hz / target_ - 1.0); }
    bool full() const { return heap_.size() >= top_; }
    double worst() const { return heap_.front().absError; }
    // Worse than everything kept, by more than a rounding step: parts giving
    // the same result a last bit apart must still meet, so that the most
    // ordinary of them is the one shown whatever the search order.
    bool beyond(double absError) const {
        return absError > worst() + 4 * kSameResult * (1.0 + worst());
    }

    void offer(double absError, double hz) {
        offer(absError, hz, false);
        const Factor& f = factors_.back();
        if (f.mirrored && f.items[at_[factors_.size() - 1]].pick[0] !=
                              f.items[at_[factors_.size() - 1]].pick[1]) {
            offer(absError, hz, true);
        }
    }

    // Sum of how many decades each searched value is from the middle of its
    // range: among parts that give the same result, the ordinary-sized ones.
    double spread() const {
        double sum = 0.0;
        for (std::size_t b = 0; b < 4; ++b) {
            sum += offCentre(centres_, b, x_[b]);
        }
        return sum;
    }

    void offer(double absError, double hz, bool swapped) {
        Found found{absError, {at_[0], at_[1], at_[2]}, swapped, hz, spread()};
        for (Found& member : heap_) {
            if (sameResult(member.hz, hz)) {
                // The same result again: keep the more ordinary parts. The
                // error stays, so the heap keeps its order.
                if (found.spread < member.spread ||
                    (found.spread == member.spread && pickedFirst(found, member))) {
                    found.absError = member.absError;
                    member = found;
                }
                return;
            }
        }
        if (!full()) {
            heap_.push_back(found);
            std::push_heap(heap_.begin(), heap_.end(), better);
        } else if (better(found, heap_.front())) {
            std::pop_heap(heap_.begin(), heap_.end(), better);
            heap_.back() = found;
            std::push_heap(heap_.begin(), heap_.end(), better);
        }
    }

    // First index in [lo, hi) for which pred holds (hi if none), pred being
    // false then true.
    template <class Pred>
    static std::size_t firstTrueIn(std::size_t lo, std::size_t hi, Pred pred) {
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (pred(mid)) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        return lo;
    }

    template <class Pred> static std::size_t firstTrue(std::size_t n, Pred pred) {
        return firstTrueIn(0, n, pred);
    }

    // The same, starting the search at a guess: neighbouring subtrees cross
    // the target at neighbouring items, so this is usually a few steps.
    template <class Pred>
    static std::size_t firstTrueNear(std::size_t n, std::size_t guess, Pred pred) {
        guess = std::min(guess, n);
        std::size_t lo = 0;
        std::size_t hi = n;
        // Past the end counts as true: the crossing lies at or below the guess.
        if (guess == n || pred(guess)) {
            hi = guess;
            for (std::size_t step = 1; hi > 0; step *= 2) {
                const std::size_t probe = hi > step ? hi - step : 0;
                if (!pred(probe)) {
                    lo = probe + 1;
                    break;
                }
                hi = probe;
            }
        } else {
            lo = guess + 1;
            for (std::size_t step = 1; lo < n; step *= 2) {
                const std::size_t probe = std::min(n - 1, lo + step - 1);
                if (pred(probe)) {
                    hi = probe;
                    break;
                }
                lo = probe + 1;
            }
        }
        return firstTrueIn(lo, hi, pred);
    }

    void descend(std::size_t level) {
        if (level + 1 == factors_.size()) {
            last(level);
            return;
        }
        const std::size_t n = factors_[level].items.size();
        // The subtree under item i spans [low(i), high(i)]; both fall with i.
        const auto low = [&](std::size_t i) {
            place(level, i);
            return frequency(level + 1, true);
        };
        const auto high = [&](std::size_t i) {
            place(level, i);
            return frequency(level + 1, false);
        };
        const std::size_t a = firstTrue(n, [&](std::size_t i) { return low(i) <= target_; });
        const std::size_t b = firstTrue(n, [&](std::size_t i) { return high(i) < target_; });
        // Subtrees that can reach the target exactly are searched whole.
        for (std::size_t i = a; i < b; ++i) {
            place(level, i);
            descend(level + 1);
        }
        // The others get worse the farther they are; stop at the first that
        // cannot beat what is already found.
        for (std::size_t i = a; i-- > 0;) {
            if (full() && beyond(errorOf(low(i)))) {
                break;
            }
            place(level, i);
            descend(level + 1);
        }
        for (std::size_t i = b; i < n; ++i) {
            if (full() && beyond(errorOf(high(i)))) {
                break;
            }
            place(level, i);
            descend(level + 1);
        }
    }

    void last(std::size_t level) {
        const std::size_t n = factors_[level].items.size();
        const auto freq = [&](std::size_t i) {
            place(level, i);
            return hzOf(mode_, x_);
        };
        std::size_t lo = 0;
        std::size_t hi = n;
        if (duty_) {
            // T1/T moves one way along the items: up with R1 in the 555, down
            // with the R2-C2 term in the multivibrator.
            const bool rising = mode_ == 4;
            const auto dutyAtItem = [&](std::size_t i) { return dutyAt(level, i); };
            const double from = *duty_ - kDutySlack;
            const double to = *duty_ + kDutySlack;
            if (rising) {
                lo =
                    firstTrueNear(n, hintLo_, [&](std::size_t i) { return dutyAtItem(i) >= from; });
                hi = firstTrueNear(n, hintHi_, [&](std::size_t i) { return dutyAtItem(i) > to; });
            } else {
                lo = firstTrueNear(n, hintLo_, [&](std::size_t i) { return dutyAtItem(i) <= to; });
                hi = firstTrueNear(n, hintHi_, [&](std::size_t i) { return dutyAtItem(i) < from; });
            }
            hintLo_ = lo;
            hintHi_ = hi;
            if (lo >= hi) {
                return;
            }
        }
        const std::size_t cross =
            firstTrueNear(n, hint_, [&](std::size_t i) { return freq(i) <= target_; });
        hint_ = cross;
        // Nearest items on each side of the crossing, within the duty window;
        // the error grows with the distance from it on either side.
        const std::size_t split = std::clamp(cross, lo, hi);
        // Whole runs of equal results are taken, so that each can pick its
        // most ordinary parts.
        const auto walk = [&](std::size_t i) {
            const double hz = freq(i);
            const double e = errorOf(hz);
            if (full() && beyond(e)) {
                return false;
            }
            if (!sameResult(hz, previous_)) {
                if (distinct_ == top_) {
                    return false;
                }
                ++distinct_;
                previous_ = hz;
            }
            offer(e, hz);
            return true;
        };
        distinct_ = 0;
        previous_ = -1.0;
        for (std::size_t i = split; i-- > lo && walk(i);) {
        }
        distinct_ = 0;
        previous_ = -1.0;
        for (std::size_t i = split; i < hi && walk(i); ++i) {
        }
    }

    void nearestFrom(std::size_t level) {
        const std::size_t n = factors_[level].items.size();
        if (level + 1 < factors_.size()) {
            for (std::size_t i = 0; i < n; ++i) {
                place(level, i);
                nearestFrom(level + 1);
            }
            return;
        }
        const bool rising = mode_ == 4;
        const auto dutyAtItem = [&](std::size_t i) { return dutyAt(level, i); };
        const std::size_t cross = firstTrue(n, [&](std::size_t i) {
            return rising ? dutyAtItem(i) >= *duty_ : dutyAtItem(i) <= *duty_;
        });
        for (const std::size_t i : {cross, cross - 1}) {
            if (i < n) {
                const double d = dutyAtItem(i);
                if (best_ < 0.0 || std::abs(d - *duty_) < std::abs(best_ - *duty_)) {
                    best_ = d;
                }
            }
        }
    }

    Mode mode_;
    double target_;
    std::optional<double> duty_;
    std::size_t top_;
    const std::array<Choices, 4>& choices_;
    std::vector<Factor> factors_;
    std::array<double, 4> x_{};
    std::array<std::uint32_t, 3> at_{};
    std::vector<Found> heap_;
    double best_ = -1.0;
    std::array<std::optional<double>, 4> centres_; // log10 middle of each searched range
    std::size_t distinct_ = 0;
    double previous_ = -1.0;
    std::size_t hint_ = 0; // where the last factor crossed the target last time
    std::size_t hintLo_ = 0;
    std::size_t hintHi_ = 0;
};

// A frequency with a unit that keeps the number readable.
std::string hzText(double hz) {
    if (hz >= 1e6) {
        return threeDigits(hz / 1e6) + " MHz";
    }
    if (hz >= 1e3) {
        return threeDigits(hz / 1e3) + " kHz";
    }
    return threeDigits(hz) + " Hz";
}

struct Band {
    double minHz;
    double maxHz;
};

DesignResult problem(DesignProblem p, std::string reason) {
    DesignResult r;
    r.problem = p;
    r.reason = std::move(reason);
    return r;
}

double toleranceOf(Kind kind, const DesignRequest& request) {
    switch (kind) {
    case Kind::Resistor:
        return request.resistorTolerance;
    case Kind::Capacitor:
        return request.capacitorTolerance;
    case Kind::Inductor:
        return request.inductorTolerance;
    }
    return 0.0;
}

DecadeRange rangeOf(Kind kind, Mode mode, const DesignRequest& request) {
    const std::optional<DecadeRange>& chosen = kind == Kind::Resistor    ? request.resistorRange
                                               : kind == Kind::Capacitor ? request.capacitorRange
                                                                         : request.inductorRange;
    return chosen.value_or(defaultRange(kind, mode));
}

Series seriesOf(Kind kind, const DesignRequest& request) {
    switch (kind) {
    case Kind::Resistor:
        return request.resistorSeries;
    case Kind::Capacitor:
        return request.capacitorSeries;
    case Kind::Inductor:
        return request.inductorSeries;
    }
    return Series::E6;
}

// Every formula falls in each value, so the band's ends are the two corners:
// all parts at their high limit or all at their low one.
Band bandOf(Mode mode, const std::array<double, 4>& x, const std::vector<DesignInput>& inputs,
            const DesignRequest& request) {
    std::array<double, 4> low = x;
    std::array<double, 4> high = x;
    for (const DesignInput& in : inputs) {
        const double t = toleranceOf(in.kind, request) / 100.0;
        low[in.box] = x[in.box] * (1.0 - t);
        high[in.box] = x[in.box] * (1.0 + t);
    }
    return {hzOf(mode, high), hzOf(mode, low)};
}

} // namespace

std::span<const int> seriesMantissas(Series series) {
    switch (series) {
    case Series::E6:
        return kE6;
    case Series::E12:
        return kE12;
    case Series::E24:
        return kE24;
    case Series::E48:
        return kE48;
    case Series::E96:
        return kE96;
    }
    return kE6;
}

std::string_view seriesName(Series series) {
    constexpr std::array<std::string_view, 5> names{"E6", "E12", "E24", "E48", "E96"};
    return names[static_cast<std::size_t>(series)];
}

std::optional<Series> seriesFromName(std::string_view name) {
    for (const Series s : kAllSeries) {
        if (seriesName(s) == name) {
            return s;
        }
    }
    return std::nullopt;
}

DecadeRange defaultRange(Kind kind, Mode mode) {
    switch (kind) {
    case Kind::Resistor:
        return {3, 7};
    case Kind::Capacitor:
        return {mode == 2 || mode == 3 || mode == 4 ? -10 : -11, -3};
    case Kind::Inductor:
        return {-7, 0};
    }
    return {0, 0};
}

std::vector<DesignInput> designInputs(const CatalogueEntry& circuit) {
    std::vector<DesignInput> inputs;
    if (circuit.mode < 1 || circuit.mode > 6 || !circuit.setsCaptions()) {
        return inputs;
    }
    struct UnitInfo {
        std::string_view unit;
        Kind kind;
        int exponent;
    };
    constexpr UnitInfo units[] = {{"kΩ", Kind::Resistor, 3},
                                  {"μF", Kind::Capacitor, -6},
                                  {"pF", Kind::Capacitor, -12},
                                  {"mH", Kind::Inductor, -3},
                                  {"μH", Kind::Inductor, -6}};
    for (std::size_t box = 0; box < 4; ++box) {
        // Captions read "NAME (UNIT)"; "None" marks a box the circuit ignores.
        const std::string_view caption = circuit.captions[box];
        const std::size_t open = caption.find(" (");
        if (open == std::string_view::npos || !caption.ends_with(")")) {
            continue;
        }
        const std::string_view unit = caption.substr(open + 2, caption.size() - open - 3);
        for (const UnitInfo& u : units) {
            if (u.unit == unit) {
                inputs.push_back({box, std::string(caption.substr(0, open)), std::string(unit),
                                  u.kind, u.exponent, circuit.mode == 6 && box == 1});
            }
        }
    }
    return inputs;
}

DesignResult design(const CatalogueEntry& circuit, const DesignRequest& request) {
    const Mode mode = circuit.mode;
    const std::vector<DesignInput> inputs = designInputs(circuit);
    if (inputs.empty()) {
        return problem(DesignProblem::NotComputing, "这个电路不用计算，没有可选的元件。");
    }
    const double target = request.targetHz;
    if (!std::isfinite(target) || target <= 0.0) {
        return problem(DesignProblem::BadTarget, "目标频率必须是大于 0 的数。");
    }
    if (request.duty) {
        if (mode != 2 && mode != 4) {
            return problem(DesignProblem::DutyNotApplicable,
                           "这个电路只有一个周期，不能指定占空比。");
        }
        const double d = *request.duty;
        if (!(d > 0.0 && d < 1.0)) {
            return problem(DesignProblem::BadDuty, "占空比 T1/T 必须在 0 和 1 之间。");
        }
        if (mode == 4 && d < 0.5) {
            // T1 charges through R1 and R2, T2 discharges through R2 alone.
            return problem(DesignProblem::DutyBelowHalf,
                           "这种 NE555 电路中 T1 经 R1 和 R2 充电、T2 只经 R2 放电，"
                           "T1/T 总是大于 50%，不能低于 50%。");
        }
    }
    for (const double t :
         {request.resistorTolerance, request.capacitorTolerance, request.inductorTolerance}) {
        if (!(t >= 0.0 && t < 100.0)) {
            return problem(DesignProblem::BadTolerance, "容差必须不小于 0% 且小于 100%。");
        }
    }

    std::array<Choices, 4> choices;
    std::array<std::optional<double>, 4> centres;
    for (const DesignInput& in : inputs) {
        Choices& c = choices[in.box];
        if (request.fixed[in.box]) {
            const std::string& text = *request.fixed[in.box];
            const double value = test(text) && fitsBox(text) ? toNumber(text) : -1.0;
            if (!(value > 0.0 || (value == 0.0 && in.zeroAllowed)) || !std::isfinite(value)) {
                return problem(DesignProblem::BadFixedValue,
                               "固定值 " + in.name + " = " + text + " 不是这个输入框能接受的数。");
            }
            c.values = {value};
            c.texts = {text};
        } else {
            const DecadeRange range = rangeOf(in.kind, mode, request);
            centres[in.box] = (range.low + range.high) / 2.0 - in.unitExponent;
            if (range.low > range.high) {
                return problem(DesignProblem::BadRange, "元件范围的下限大于上限。");
            }
            c = seriesChoices(seriesOf(in.kind, request), range, in.unitExponent);
            // Every value must be one the window's box can hold.
            if (!std::all_of(c.texts.begin(), c.texts.end(),
                             [](const std::string& t) { return fitsBox(t); })) {
                return problem(DesignProblem::BadRange,
                               in.name + " 的范围超出了输入框能写下的数（最多 10 个字符）。");
            }
        }
    }
    // Boxes the circuit ignores still take part in the picks, as one empty text.
    for (Choices& c : choices) {
        if (c.values.empty()) {
            c.values = {0.0};
            c.texts = {""};
        }
    }

    const std::size_t top = std::clamp<std::size_t>(request.top, 1, 1000);
    Search search(mode, target, request.duty, top, choices, factorsOf(mode, choices, centres),
                  centres);
    const double reachMax = search.frequency(0, false);
    const double reachMin = search.frequency(0, true);
    // Out of reach when even the extreme combination, at the far end of its
    // tolerances, cannot get there; short of that its parts are still worth
    // showing, error and all.
    const Band lowest = bandOf(mode, search.corner(false), inputs, request);
    const Band highest = bandOf(mode, search.corner(true), inputs, request);
    if (target < highest.minHz || target > lowest.maxHz) {
        DesignResult r = problem(DesignProblem::OutOfReach,
                                 "目标频率超出了可达范围：这些元件范围只能得到 " +
                                     hzText(reachMin) + " 至 " + hzText(reachMax) + "。");
        r.reachMinHz = reachMin;
        r.reachMaxHz = reachMax;
        return r;
    }
    const std::vector<Found> found = search.run();
    if (found.empty()) {
        // Only a duty window can leave nothing.
        const double nearest = search.nearestDuty();
        DesignResult r = problem(DesignProblem::DutyUnreachable,
                                 "没有组合的 T1/T 在 " + threeDigits(*request.duty) + "±" +
                                     threeDigits(kDutySlack) + " 之内；最接近的占空比是 " +
                                     threeDigits(nearest) + "。");
        r.nearestDuty = nearest;
        return r;
    }

    const std::vector<Factor>& factors = search.factors();
    DesignResult result;
    for (const Found& f : found) {
        Candidate cand;
        for (std::size_t k = 0; k < factors.size(); ++k) {
            const Factor& factor = factors[k];
            const Item& item = factor.items[f.items[k]];
            const bool swap = f.swapped && k + 1 == factors.size();
            cand.inputs[factor.boxes[0]] = choices[factor.boxes[0]].texts[item.pick[swap ? 1 : 0]];
            cand.inputs[factor.boxes[1]] =
                choices[factor.boxes[1]].texts[item.pick[swap ? 0 : factor.size - 1]];
        }
        const Answer answer = calculate(mode, cand.inputs);
        if (answer.message) {
            continue; // cannot happen for texts the search made; never show one
        }
        for (std::size_t i = 0; i < 4; ++i) {
            cand.lines[i] = answer.lines[i].value_or("");
        }
        std::array<double, 4> x{};
        for (std::size_t i = 0; i < 4; ++i) {
            x[i] = toNumber(cand.inputs[i]);
        }
        const Periods p = *periods(mode, x);
        cand.frequencyHz = p.f * hzPerUnit(mode);
        cand.errorPercent = (cand.frequencyHz / target - 1.0) * 100.0;
        if (mode == 2 || mode == 4) {
            cand.duty = p.t1 / p.t;
        }
        const Band band = bandOf(mode, x, inputs, request);
        cand.fMinHz = band.minHz;
        cand.fMaxHz = band.maxHz;
        result.candidates.push_back(std::move(cand));
    }
    return result;
}

std::string threeDigits(double value) {
    if (value == 0.0 || !std::isfinite(value)) {
        return toText(value);
    }
    const int exponent = static_cast<int>(std::floor(std::log10(std::abs(value))));
    const int decimals = std::max(0, 2 - exponent);
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, ec == std::errc{} ? end : buffer);
    trimFraction(text);
    return text;
}

std::string errorText(double percent) {
    const double a = std::abs(percent);
    int decimals = 2;
    if (a > 0.0 && std::isfinite(a)) {
        decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(a))), 2, 10);
    }
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, a, std::chars_format::fixed, decimals);
    std::string text(1, percent < 0.0 ? '-' : '+');
    text.append(buffer, ec == std::errc{} ? end : buffer);
    text.push_back('%');
    return text;
}

std::string bandText(const Candidate& candidate, Mode mode) {
    const double scale = hzPerUnit(mode);
    return "f=" + threeDigits(candidate.fMinHz / scale) + ".." +
           threeDigits(candidate.fMaxHz / scale) + (mode == 6 ? "MHz" : "kHz");
}

} // namespace calc
