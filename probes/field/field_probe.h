// What field_probe's sources share: what a field holds on a page, how the
// library takes and gives it, one layout's run, and the routines each part
// offers the others.
#ifndef TIFF_PROBES_FIELD_PROBE_H
#define TIFF_PROBES_FIELD_PROBE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include <tiffio.h>

#include "field_pages.h"
#include "field_table.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace fields {

using field::Definition;
using probe::Layout;

// ---------------------------------------------------------------------------
// What a field holds on a page, from the table alone.

struct Values {
    std::vector<double> numbers; // numeric fields
    const char *text = nullptr;  // ASCII fields
    size_t text_size = 0;        // with its NULs
    uint32_t count = 0;          // values set (bytes for ASCII)
    uint32_t curves = 0;         // ColorMap and TransferFunction: arrays of 2^BitsPerSample
    // Integer values as their bits, when given: 64-bit ones no double holds.
    std::vector<uint64_t> bits;
};

// ---------------------------------------------------------------------------
// How the library takes and gives a field's values, from its own
// description (and TIFFSetField(3tiff) for ColorMap, TransferFunction and
// InkNames, which it describes as plain arrays).

enum class Form : uint8_t { Text, InkNames, Counted, Single, Pair, Array, Curves };

struct Access {
    Form form = Form::Single;
    unsigned size = 0;       // bytes per value as the library stores it
    unsigned count_size = 0; // Counted: 2 or 4
    int fixed = 0;           // Array: the count the library takes
    bool real = false;       // stored as float or double
    TIFFDataType type = TIFF_NOTYPE;
};

using SetFn = int (*)(TIFF *, uint32_t, ...);

// What a fetch gave: the values' bits, or the text.
struct Fetched {
    std::vector<uint64_t> bits;
    const char *text = nullptr;
};

struct Run {
    const Layout &layout;
    const char *name; // the file name, in every line
    // A check that does not stop the layout failed.
    bool failed = false;
    bool query = false; // compare the library's field descriptions with the table
    // Library messages that explain a refusal already reported.
    unsigned long explained = 0;
    uint64_t links[3] = {0, 0, 0}; // EXIF, GPS, Interoperability
    // Fields the library refused, not to be looked for again.
    std::vector<const Definition *> refused;
    // Fields found still present after TIFFUnsetField, said once.
    std::vector<uint32_t> lingering;

    // Says that a field unset is still there, once a field; always false.
    bool SayLingering(uint32_t tag)
    {
        for (const uint32_t t : lingering) {
            if (t == tag)
                return false;
        }
        lingering.push_back(tag);
        probe::Say<probe::Line::StillPresent>(name, tag);
        return false;
    }

    bool WasRefused(const Definition &f) const
    {
        for (const Definition *r : refused) {
            if (r == &f)
                return true;
        }
        return false;
    }
};

// and how the library takes them, known once a directory of its kind is
// open.
struct Row {
    Values values;
    bool present = false; // false: uncovered, or a shape field its page leaves unset
    bool described = false;
    bool describable = false;
    Access access;
};
extern std::vector<Row> rows;

// The library's tag extender before the probe's, which the probe's calls.
extern TIFFExtendProc previous_extender;
// While page 0 is written or read: its private fields are registered.
extern bool page0;

void RegisterPrivateFields(TIFF *tif);
// The table's rows worked out, once before the first layout.
void MakeRows();

// field_values.cpp
size_t LinkIndex(field::LinkTarget link);
uint32_t SamplesOf(const Shape &s);
// TIFF 6.0's StripsPerImage or TilesPerImage, in planes, for a volume's
// slices too: what the page's image is cut into.
uint64_t ChunksOf(const Shape &s);
bool ValuesOf(const Definition &f, const Shape &s, const uint64_t *links, Values *v);
uint64_t DiskCount(const Definition &f, const Shape &s, const Values &v);

// field_access.cpp
bool Describe(TIFF *tif, uint32_t tag, Access *a);
const char *TypeName(const Access &a);
uint64_t StorageBits(double v, const Access &a);
int SetValues(TIFF *tif, uint32_t tag, const Values &v, const Access &a, SetFn set);
bool Fetch(TIFF *tif, uint32_t tag, const Access &a, const Values &v, SetFn get, Fetched *out);
bool CheckQuery(TIFF *tif, const Run &run, bool exif, bool gps);

// field_write.cpp
const Shape &ShapeOf(Home home);
void SetByteOrder(const Run &run);
bool StillPresent(TIFF *tif, uint32_t tag);
const char *CustomName(Home home);
size_t CustomIndex(Home home);
int ReadCustom(TIFF *tif, Home home, uint64_t at);
bool WriteFile(Run &run);

// field_read.cpp
bool CheckDefaults(TIFF *tif, const Run &run, Home home, bool before_fields);
bool ReadBack(Run &run);

} // namespace fields

#endif
