// Proves that a field of every type survives write, close, reopen and read in
// both byte orders and both formats, and that the bytes on disk hold what was
// set, read by a reader of our own: a library that writes a wrong byte and
// reads the same wrong byte back passes any round trip.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "probe_support.h"
#include "type_values.h"

using probe::Layout;

constexpr Layout layouts[] = {
    {"types_le.tif", false, false},
    {"types_be.tif", true, false},
    {"types_le.btf", false, true},
    {"types_be.btf", true, true},
};

// Each compression in each format, so that a strip that the update makes
// larger must move in both.
constexpr probe::PerLayout<uint16_t> compressions[] = {
    {"types_le.tif", COMPRESSION_PACKBITS},
    {"types_be.tif", COMPRESSION_NONE},
    {"types_le.btf", COMPRESSION_NONE},
    {"types_be.btf", COMPRESSION_PACKBITS},
};

// A wide bilevel image: ImageWidth needs a LONG, yet a row is small.
extern const uint32_t width = 70000;
extern const uint32_t length = 3;
extern const uint32_t rows_per_strip = 1;
constexpr size_t row_bytes = (70000 + 7) / 8;
// The strip that the update replaces.
constexpr uint32_t updated_strip = 1;

using types::double_values;
using types::page_number;
using types::sbyte_values;
using types::slong_values;
using types::sshort_values;
using types::type_probes;
using types::TypeProbe;
using types::x_resolution;

// Every table is longer than BigTIFF's array of one value over the limit,
// so the long array is the longest and no array reads past its table.
constexpr bool TablesLongEnough()
{
    for (size_t i = 0; i < sizeof(type_probes) / sizeof(type_probes[0]); i++) {
        if (type_probes[i].count <= 8 / type_probes[i].disk + 1)
            return false;
    }
    return true;
}
static_assert(TablesLongEnough(), "a value table is too short for its arrays");

struct TextProbe {
    ttag_t tag;
    const char *value;
};

// Four bytes with the terminator fit in any entry; the other fits in none.
constexpr TextProbe text_probes[] = {
    {types::short_text_tag, "abc"},
    {types::long_text_tag, "A string too long to be stored in the entry itself."},
};

extern const char description[] = "type_probe: every field type";

// The standard fields as they must stand on disk: ImageWidth too wide for a
// SHORT, the pair, and the resolution as a fraction.
constexpr TypeProbe standard_on_disk[] = {
    {"LONG", &width, TIFF_LONG, TIFFTAG_IMAGEWIDTH, 1, 4, 4, false, true},
    {"SHORT", page_number, TIFF_SHORT, TIFFTAG_PAGENUMBER, 2, 2, 2, false, true},
    {"RATIONAL", &x_resolution, TIFF_RATIONAL, TIFFTAG_XRESOLUTION, 1, 4, 8, false, true},
};
constexpr TextProbe description_on_disk = {TIFFTAG_IMAGEDESCRIPTION, description};

// The private fields, registered at every open so that they are known when
// writing and when reading.
static std::vector<TIFFFieldInfo> PrivateFields()
{
    std::vector<TIFFFieldInfo> fields;
    static char single_name[] = "type_probe single";
    static char array_name[] = "type_probe array";
    static char text_name[] = "type_probe text";

    for (const TypeProbe &t : type_probes) {
        fields.push_back({t.tag, 1, 1, t.type, FIELD_CUSTOM, 1, 0, single_name});
        for (ttag_t k = 1; k <= 3; k++) {
            fields.push_back({t.tag + k, TIFF_VARIABLE2, TIFF_VARIABLE2, t.type, FIELD_CUSTOM, 1, 1,
                              array_name});
        }
    }
    for (const TextProbe &t : text_probes)
        fields.push_back(
            {t.tag, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII, FIELD_CUSTOM, 1, 0, text_name});
    return fields;
}

static TIFFExtendProc previous_extender = nullptr;

static void RegisterPrivateFields(TIFF *tif)
{
    static const std::vector<TIFFFieldInfo> fields = PrivateFields();

    TIFFMergeFieldInfo(tif, fields.data(), static_cast<uint32_t>(fields.size()));
    if (previous_extender)
        previous_extender(tif);
}

// The number of values in array K (1 to 3) of a type: exactly at the limit
// of what an entry holds, one more, and the whole table. Zero where no
// array of that type fits the limit, and for a type without arrays.
static uint32_t ArrayCount(const TypeProbe &t, ttag_t k, bool bigtiff)
{
    const uint32_t at_limit = (bigtiff ? 8 : 4) / t.disk;
    if (t.single_only)
        return 0;
    if (k == 1)
        return at_limit;
    if (k == 2)
        return at_limit + 1;
    return t.count;
}

// The width in which the library takes and gives an array field's values,
// as its own description says; the table's width where it says nothing.
static unsigned PassedSize(TIFF *tif, const TypeProbe &t, ttag_t tag)
{
    const TIFFField *field = TIFFFieldWithTag(tif, tag);
    const int size = field ? TIFFFieldSetGetSize(field) : 0;
    return size > 0 ? static_cast<unsigned>(size) : t.storage;
}

// The table's values in the width the library takes them: integers widened
// or narrowed, everything else as it stands.
static std::vector<uint8_t> AsPassed(TIFF *tif, const TypeProbe &t, ttag_t tag)
{
    const unsigned size = PassedSize(tif, t, tag);
    std::vector<uint8_t> out(static_cast<size_t>(t.count) * size);

    for (uint32_t i = 0; i < t.count; i++) {
        const uint64_t v = StoredBits(t.values, t.storage, i);
        for (unsigned b = 0; b < size; b++) {
            // Host order, as the library reads the array.
            const unsigned shift = 8 * (probe::HostBigEndian() ? size - 1 - b : b);
            out[static_cast<size_t>(i) * size + b] = static_cast<uint8_t>(v >> shift);
        }
    }
    return out;
}

static bool SetSingle(TIFF *tif, const TypeProbe &t)
{
    // The table's first value, widened to hold any type's.
    const uint64_t v = StoredBits(t.values, t.storage, 0);

    switch (t.type) {
    case TIFF_BYTE:
    case TIFF_UNDEFINED:
    case TIFF_SHORT:
    case TIFF_LONG:
    case TIFF_IFD:
        return TIFFSetField(tif, t.tag, static_cast<uint32_t>(v)) == 1;
    case TIFF_SBYTE:
        return TIFFSetField(tif, t.tag, static_cast<int>(sbyte_values[0])) == 1;
    case TIFF_SSHORT:
        return TIFFSetField(tif, t.tag, static_cast<int>(sshort_values[0])) == 1;
    case TIFF_SLONG:
        return TIFFSetField(tif, t.tag, slong_values[0]) == 1;
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_FLOAT:
        return TIFFSetField(tif, t.tag,
                            static_cast<double>(static_cast<const float *>(t.values)[0])) == 1;
    case TIFF_DOUBLE:
        return TIFFSetField(tif, t.tag, double_values[0]) == 1;
    default: // LONG8, SLONG8, IFD8: 64-bit storage
        return TIFFSetField(tif, t.tag, v) == 1;
    }
}

static bool SetFields(TIFF *tif, const Layout &layout)
{
    const struct {
        ttag_t tag;
        uint32_t value;
    } base_fields[] = {
        {TIFFTAG_IMAGEWIDTH, width},
        {TIFFTAG_IMAGELENGTH, length},
        {TIFFTAG_BITSPERSAMPLE, 1},
        {TIFFTAG_SAMPLESPERPIXEL, 1},
        {TIFFTAG_ROWSPERSTRIP, rows_per_strip},
        {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
        {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
        {TIFFTAG_COMPRESSION, probe::CodecOrNone(probe::ForLayout(compressions, layout))},
        {TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH},
    };
    ttag_t failed = 0;

    for (const auto &f : base_fields) {
        if (!TIFFSetField(tif, f.tag, f.value)) {
            failed = f.tag;
            goto failure;
        }
    }
    if (!TIFFSetField(tif, TIFFTAG_PAGENUMBER, page_number[0], page_number[1])) {
        failed = TIFFTAG_PAGENUMBER;
        goto failure;
    }
    if (!TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<double>(x_resolution))) {
        failed = TIFFTAG_XRESOLUTION;
        goto failure;
    }
    if (!TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description)) {
        failed = TIFFTAG_IMAGEDESCRIPTION;
        goto failure;
    }
    for (const TypeProbe &t : type_probes) {
        if (t.bigtiff_only && !layout.bigtiff)
            continue;
        if (!SetSingle(tif, t)) {
            failed = t.tag;
            goto failure;
        }
        for (ttag_t k = 1; k <= 3; k++) {
            const uint32_t n = ArrayCount(t, k, layout.bigtiff);
            if (n > 0 && !TIFFSetField(tif, t.tag + k, n, AsPassed(tif, t, t.tag + k).data())) {
                failed = t.tag + k;
                goto failure;
            }
        }
    }
    for (const TextProbe &t : text_probes) {
        if (!TIFFSetField(tif, t.tag, t.value)) {
            failed = t.tag;
            goto failure;
        }
    }
    return true;

failure:
    probe::SayCantSet(failed, layout.filename);
    return false;
}

// The image, made once: each row runs of 64 bytes in a sequence of its own,
// which PackBits packs small and cheaply, and the row that replaces the
// updated strip, runs of 16 bytes: packed, it is four times the old strip,
// so it cannot take the old strip's place. (Bytes that do not repeat would
// do too, but PackBits spends five times as long on them.)
static uint8_t image[length][row_bytes];
static uint8_t update_row[row_bytes];

static void MakeImage()
{
    for (uint32_t r = 0; r < length; r++) {
        for (size_t i = 0; i < row_bytes; i += 64) {
            const size_t run = row_bytes - i < 64 ? row_bytes - i : 64;
            memset(&image[r][i], static_cast<int>((i / 64) * 7 + static_cast<size_t>(r) * 31 + 1),
                   run);
        }
    }
    for (size_t i = 0; i < row_bytes; i += 16) {
        const size_t run = row_bytes - i < 16 ? row_bytes - i : 16;
        memset(&update_row[i], static_cast<int>((i / 16) * 5 + 3), run);
    }
}

static bool WriteStrips(TIFF *tif, const char *filename)
{
    for (uint32_t s = 0; s < length; s++) {
        // The write calls return -1 on error, so only a positive count is success.
        if (TIFFWriteEncodedStrip(tif, s, image[s], row_bytes) <= 0) {
            probe::SayCantWrite(filename);
            return false;
        }
    }
    return true;
}

// Reads every strip and compares it with the row written, or with the
// update's row for the updated strip once it is replaced.
static bool CheckStrips(TIFF *tif, const char *filename, bool updated)
{
    static uint8_t got[row_bytes];

    for (uint32_t s = 0; s < length; s++) {
        const uint8_t *expect = updated && s == updated_strip ? update_row : image[s];
        const tmsize_t n = TIFFReadEncodedStrip(tif, s, got, row_bytes);
        if (!probe::ReadBack("strip", s, n, row_bytes, memcmp(got, expect, row_bytes) == 0,
                             filename))
            return false;
    }
    return true;
}

// Fetches the single value of one type and compares it with the table,
// bit for bit.
static bool CheckSingle(TIFF *tif, const TypeProbe &t, const Layout &layout)
{
    uint64_t single = 0;

    if (!TIFFGetField(tif, t.tag, &single)) {
        probe::SayProblemFetching(t.tag, layout.filename);
        return false;
    }
    // The library stored the single value at the start of `single`, as wide
    // as it takes it: reading more would hold on a little-endian host only.
    const uint64_t got = StoredBits(&single, t.storage, 0);
    if (got != StoredBits(t.values, t.storage, 0)) {
        probe::SayWrongValue(t.name, t.tag, layout.filename, 0, got,
                             StoredBits(t.values, t.storage, 0));
        return false;
    }
    return true;
}

// Fetches array K of one type; one line for its first difference and one
// counting the rest, so that a known defect in one value hides no other.
static bool CheckArray(TIFF *tif, const TypeProbe &t, ttag_t k, const Layout &layout)
{
    const uint32_t expect_n = ArrayCount(t, k, layout.bigtiff);
    uint32_t n = 0;
    const void *array = nullptr;

    if (expect_n == 0)
        return true;
    if (!TIFFGetField(tif, t.tag + k, &n, &array) || !array) {
        probe::SayProblemFetching(t.tag + k, layout.filename);
        return false;
    }
    if (n != expect_n) {
        probe::SayWrongCount(t.name, t.tag + k, layout.filename, n, expect_n);
        return false;
    }
    const unsigned size = PassedSize(tif, t, t.tag + k);
    unsigned long wrong = 0;
    uint32_t last = 0;
    for (uint32_t i = 0; i < n; i++) {
        const uint64_t got = StoredBits(array, size, i);
        if (got == StoredBits(t.values, t.storage, i))
            continue;
        if (wrong++ == 0)
            probe::SayWrongValue(t.name, t.tag + k, layout.filename, i, got,
                                 StoredBits(t.values, t.storage, i));
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreWrongValues(t.name, t.tag + k, layout.filename, wrong - 1, last);
    return wrong == 0;
}

static bool CheckText(TIFF *tif, const TextProbe &t, const Layout &layout)
{
    const char *text = nullptr;

    if (!TIFFGetField(tif, t.tag, &text) || !text) {
        probe::SayProblemFetching(t.tag, layout.filename);
        return false;
    }
    if (strcmp(text, t.value) != 0) {
        probe::SayWrongText(t.tag, layout.filename, text, t.value);
        return false;
    }
    return true;
}

static bool CheckStandard(TIFF *tif, const Layout &layout)
{
    uint32_t got_width = 0;
    uint16_t page[2] = {0, 0};
    float resolution = 0;
    bool ok = true;

    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &got_width)) {
        probe::SayProblemFetching(TIFFTAG_IMAGEWIDTH, layout.filename);
        ok = false;
    } else if (got_width != width) {
        probe::SayWrongValue("LONG", TIFFTAG_IMAGEWIDTH, layout.filename, 0, got_width, width);
        ok = false;
    }
    if (!TIFFGetField(tif, TIFFTAG_PAGENUMBER, &page[0], &page[1])) {
        probe::SayProblemFetching(TIFFTAG_PAGENUMBER, layout.filename);
        ok = false;
    } else {
        const bool first_ok = page[0] == page_number[0];
        if (!first_ok || page[1] != page_number[1]) {
            const uint32_t i = first_ok ? 1 : 0;
            probe::SayWrongValue("SHORT", TIFFTAG_PAGENUMBER, layout.filename, i, page[i],
                                 page_number[i]);
            if (!first_ok && page[1] != page_number[1])
                probe::SayMoreWrongValues("SHORT", TIFFTAG_PAGENUMBER, layout.filename, 1, 1);
            ok = false;
        }
    }
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resolution)) {
        probe::SayProblemFetching(TIFFTAG_XRESOLUTION, layout.filename);
        ok = false;
    } else if (StoredBits(&resolution, 4, 0) != StoredBits(&x_resolution, 4, 0)) {
        probe::SayWrongValue("RATIONAL", TIFFTAG_XRESOLUTION, layout.filename, 0,
                             StoredBits(&resolution, 4, 0), StoredBits(&x_resolution, 4, 0));
        ok = false;
    }
    return CheckText(tif, {TIFFTAG_IMAGEDESCRIPTION, description}, layout) && ok;
}

// Every field of the layout, each compared with what was set: one line for
// each field that differs, so one run names every wrong field.
static bool CheckFields(TIFF *tif, const Layout &layout)
{
    bool ok = CheckStandard(tif, layout);

    for (const TypeProbe &t : type_probes) {
        if (t.bigtiff_only && !layout.bigtiff)
            continue;
        ok = CheckSingle(tif, t, layout) && ok;
        for (ttag_t k = 1; k <= 3; k++)
            ok = CheckArray(tif, t, k, layout) && ok;
    }
    for (const TextProbe &t : text_probes)
        ok = CheckText(tif, t, layout) && ok;
    return ok;
}

// Compares one private entry on disk with the values set: its type code,
// its count, and each value as the file's byte order decodes it.
static bool CheckEntryOnDisk(const ifd::Directory &dir, const TypeProbe &t, ttag_t tag, uint32_t n,
                             const char *filename)
{
    const ifd::Entry *e = ifd::FindEntry(dir, tag);
    const bool fraction = t.type == TIFF_RATIONAL || t.type == TIFF_SRATIONAL;

    if (!e) {
        probe::SayMissingOnDisk(tag, filename);
        return false;
    }
    if (e->type != t.type || e->count != n || e->values.size() != (fraction ? 2 : 1) * size_t{n}) {
        probe::SayWrongEntry(*e, filename, t.name, n);
        return false;
    }
    // The first wrong value named, the rest counted.
    unsigned long wrong = 0;
    uint32_t last = 0;
    for (uint32_t i = 0; i < n; i++) {
        const double number = fraction ? static_cast<const float *>(t.values)[i] : 0;
        const uint64_t bits = StoredBits(t.values, t.storage, i);
        if (fraction ? probe::Number(*e, i) == number : e->values[i] == bits)
            continue;
        if (wrong++ == 0) {
            if (fraction)
                probe::SayWrongNumberOnDisk(tag, filename, i, probe::Number(*e, i), number);
            else
                probe::SayWrongValueOnDisk(tag, filename, i, e->values[i], bits);
        }
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreOnDisk(tag, filename, "value", wrong - 1, last);
    return wrong == 0;
}

static bool CheckTextOnDisk(const ifd::Directory &dir, const TextProbe &t, const char *filename)
{
    const ifd::Entry *e = ifd::FindEntry(dir, t.tag);
    const size_t n = strlen(t.value) + 1;

    if (!e) {
        probe::SayMissingOnDisk(t.tag, filename);
        return false;
    }
    if (e->type != TIFF_ASCII || e->count != n || e->values.size() != n) {
        probe::SayWrongEntry(*e, filename, "ASCII", n);
        return false;
    }
    unsigned long wrong = 0;
    size_t last = 0;
    for (size_t i = 0; i < n; i++) {
        if (e->values[i] == static_cast<uint8_t>(t.value[i]))
            continue;
        if (wrong++ == 0)
            probe::SayWrongByteOnDisk(t.tag, filename, i, static_cast<unsigned>(e->values[i]),
                                      static_cast<uint8_t>(t.value[i]));
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreOnDisk(t.tag, filename, "byte", wrong - 1, last);
    return wrong == 0;
}

// The layout of the directory itself: tags ascending, values that do not
// fit in their entry on a word boundary, every strip inside the file.
static bool CheckDirectoryOnDisk(const ifd::Directory &dir, uint64_t file_size,
                                 const char *filename)
{
    return probe::TagsAscending(dir, filename) && probe::WordAligned(dir, filename) &&
           probe::ChunksInside(dir, file_size, ifd::tag::StripOffsets, ifd::tag::StripByteCounts,
                               length, "strip", filename);
}

// Reads the file without the library and checks it against what was set.
static bool CheckOnDisk(const Layout &layout)
{
    probe::OnDisk disk;
    const ifd::File &file = disk.file;

    if (!probe::ReadFormat(layout, &disk))
        return false;
    const ifd::Header &header = file.header;
    if (file.chain.size() != 1 || !file.linked.empty()) {
        probe::SayIfdCount(layout.filename, header.first_ifd,
                           static_cast<unsigned long>(file.chain.size() + file.linked.size()), 1);
        return false;
    }
    // From here on, one line for each entry that differs.
    const ifd::Directory &dir = file.chain[0];
    bool ok = CheckDirectoryOnDisk(dir, disk.bytes.size(), layout.filename);
    for (const TypeProbe &t : type_probes) {
        if (t.bigtiff_only && !layout.bigtiff)
            continue;
        ok = CheckEntryOnDisk(dir, t, t.tag, 1, layout.filename) && ok;
        for (ttag_t k = 1; k <= 3; k++) {
            const uint32_t n = ArrayCount(t, k, layout.bigtiff);
            ok = (n == 0 || CheckEntryOnDisk(dir, t, t.tag + k, n, layout.filename)) && ok;
        }
    }
    for (const TextProbe &t : text_probes)
        ok = CheckTextOnDisk(dir, t, layout.filename) && ok;
    for (const TypeProbe &t : standard_on_disk)
        ok = CheckEntryOnDisk(dir, t, t.tag, t.count, layout.filename) && ok;
    return CheckTextOnDisk(dir, description_on_disk, layout.filename) && ok;
}

static bool TypeTest(const Layout &layout)
{
    const unsigned long messages = LibraryMessages();

    {
        const probe::Tiff tif = probe::Create(layout);
        if (!tif || !SetFields(tif, layout) || !WriteStrips(tif, layout.filename))
            return false;
    }
    // One reopen for update serves both the read-back and the update in
    // place: the new strip has another size, so the library must move it
    // and rewrite the strip arrays. A field that came back wrong does not
    // stop the layout: the update and the bytes on disk are still checked.
    bool fields_ok = false;
    {
        const probe::Tiff tif = probe::Reopen(layout, probe::Access::Update);
        if (!tif)
            return false;
        fields_ok = CheckFields(tif, layout);
        if (!CheckStrips(tif, layout.filename, false))
            return false;
        if (TIFFWriteEncodedStrip(tif, updated_strip, update_row, row_bytes) <= 0) {
            probe::SayCantWrite(layout.filename);
            return false;
        }
    }
    // The update must leave every field as it was (checked again only when
    // they were right before, so a wrong field is named once), and the new
    // strip read back.
    {
        const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
        if (!tif || (fields_ok && !CheckFields(tif, layout)) ||
            !CheckStrips(tif, layout.filename, true))
            return false;
    }
    // The bytes on disk, and what the library said, are checked whatever
    // came back wrong before. The file stays behind for inspection on any
    // failure.
    const bool disk_ok = CheckOnDisk(layout);
    return probe::LibraryQuiet(layout.filename, messages) && disk_ok && fields_ok;
}

int main()
{
    CountLibraryMessages();
    previous_extender = TIFFSetTagExtender(RegisterPrivateFields);
    MakeImage();
    const int status = probe::RunLayouts(layouts, TypeTest);
    if (status == 0)
        probe::SayCodecSkips();
    return status;
}
