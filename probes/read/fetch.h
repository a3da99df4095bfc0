// A field as the library gives it and as the file means it, for read_probe's
// catalogue and its matrix alike: one way to fetch a field in the calling
// form its description asks for, and one way to say what values the bytes
// stand for.
#ifndef TIFF_PROBES_READ_FETCH_H
#define TIFF_PROBES_READ_FETCH_H

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_writer.h"

namespace read_fetch {

struct Got {
    bool text = false;
    bool counted = false; // fetched with its count
    bool scalar = false;  // one value, whatever the file holds per sample
    bool real = false;
    bool sign = false;
    bool null = false; // a text given as a null pointer
    unsigned size = 0; // bytes of each value as the library holds it
    std::string bytes;
    std::vector<uint64_t> ints; // signed ones sign-extended
    std::vector<double> reals;

    size_t Count() const { return real ? reals.size() : ints.size(); }
    // Value i as a number, whatever its kind.
    double Number(size_t i) const
    {
        if (real)
            return reals[i];
        return sign ? static_cast<double>(static_cast<int64_t>(ints[i]))
                    : static_cast<double>(ints[i]);
    }
};

bool Pairs(uint16_t type); // RATIONAL or SRATIONAL: two elements a value
bool IsSigned(uint16_t type);

// The field as TIFFGetField gives it; false when it is absent.
bool Fetch(TIFF *tif, uint16_t tag, Got *got);

// The numbers the field's values stand for, one a value; NaN for a fraction
// without a denominator, which stands for no number.
std::vector<double> Numbers(const ifd::Field &f);

// Merges `infos` into every handle opened while `*active` holds: private
// tags registered with a tag extender, as TIFFMergeFieldInfo(3tiff) shows.
void RegisterWhile(const TIFFFieldInfo *infos, unsigned count, const bool *active);

} // namespace read_fetch

#endif
