// read_probe --explore: several of the read matrix's deviations at once, in
// one file, drawn at random from the variants its rules derive, judged by
// the same invariant as each case alone. A combination that fails is shrunk
// to the fewest of its deviations that still fail, its file left in the
// working directory and said as lines with the seed that replays it.
#ifndef TIFF_PROBES_READ_EXPLORE_H
#define TIFF_PROBES_READ_EXPLORE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace explore {

struct Options {
    bool explore = false;
    unsigned seconds = 0;
    bool seeded = false;
    uint64_t seed = 0;
};

struct BadArgument {
    std::string arg;
    const char *why = "";
};

// Parses read_probe's arguments, none or --explore SECONDS [--seed N] in
// either order; false, with the argument at fault and why for the usage
// line, when they are not.
bool Parse(const std::vector<std::string> &args, Options *options, BadArgument *bad);

// A seed from the clock and the process, for a run without --seed.
uint64_t TimeSeed();

// The fewest of `items` for which `fails` holds, never none: drops one item
// at a time, and again from the start after each drop that still fails,
// until no single drop does. `fails(items)` is taken to hold.
using Predicate = std::function<bool(const std::vector<size_t> &)>;
std::vector<size_t> Shrink(std::vector<size_t> items, const Predicate &fails);

// Tries combinations for `seconds` of wall time, drawn from `seed`; the
// first that fails is shrunk, said and its file left. True when none failed.
bool Run(unsigned seconds, uint64_t seed);

} // namespace explore

#endif
