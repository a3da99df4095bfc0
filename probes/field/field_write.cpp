// Writing a layout's file: the pages, their fields and the custom
// directories.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include <tiffio.h>

#include "chunks.h"
#include "field_probe.h"

// TIFFCustomDirectory(3tiff) documents it; tiffio.h does not declare it.
// NOLINTNEXTLINE(readability-identifier-naming): the library's name
extern "C" const TIFFFieldArray *_TIFFGetExifFields(void);

namespace fields {

// ---------------------------------------------------------------------------
// One layout.

const Shape &ShapeOf(Home home)
{
    for (const Shape &s : shapes) {
        if (s.home == home)
            return s;
    }
    return shapes[0];
}

// What the table gives each row, worked out once: its values on its page,

std::vector<Row> rows;

void MakeRows()
{
    const uint64_t no_links[3] = {0, 0, 0};
    rows.resize(field::field_count);
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        rows[i].present =
            f.home != Home::Uncovered && ValuesOf(f, ShapeOf(f.home), no_links, &rows[i].values);
    }
}

// The SHORTs that begin an UNDEFINED value, in the file's byte order.
void SetByteOrder(const Run &run)
{
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        if (f.leading_shorts == 0)
            continue;
        std::vector<double> &n = rows[i].values.numbers;
        n.assign(f.values.begin(), f.values.end());
        for (size_t k = 0; run.layout.big_endian && k < f.leading_shorts && 2 * k + 1 < n.size();
             k++)
            std::swap(n[2 * k], n[2 * k + 1]);
    }
}

// The link fields' values, once the linked directories are written.
void SetLinks(const Run &run)
{
    for (size_t i = 0; i < field::field_count; i++) {
        if (field::fields[i].link != field::LinkTarget::None)
            rows[i].values.numbers.assign(
                1, static_cast<double>(run.links[LinkIndex(field::fields[i].link)]));
    }
}

const Access *AccessOf(TIFF *tif, size_t row)
{
    Row &r = rows[row];
    if (!r.described) {
        r.describable = Describe(tif, field::fields[row].tag, &r.access);
        r.described = true;
    }
    return r.describable ? &r.access : nullptr;
}

// Whether the page of `home` is written without its codec.
bool PageCodecDropped(Home home)
{
    for (size_t p = 0; p < page_count; p++) {
        if (shapes[p].home == home)
            return shapes[p].compression != wanted_compression[p];
    }
    return false;
}

// The fields of a directory, set; a refusal is a line and the field is not
// looked for again.
void SetFields(TIFF *tif, Run &run, Home home, SetFn set)
{
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        if (f.home != home || !rows[i].present)
            continue;
        const unsigned long before = LibraryMessages();
        const Access *a = AccessOf(tif, i);
        // A field of a codec the library lacks is unknown to it: left out.
        if (!a && PageCodecDropped(home)) {
            run.refused.push_back(&f);
            continue;
        }
        if (!a || !SetValues(tif, f.tag, rows[i].values, *a, set)) {
            run.explained += LibraryMessages() - before;
            probe::SayCantSet(f.tag, run.name);
            run.refused.push_back(&f);
            run.failed = true;
        }
    }
}

// The shape fields first: the codec fields exist only once Compression is
// set, and the value fields of a page may depend on its samples.
bool SetShape(TIFF *tif, const Run &run, const Shape &s)
{
    const struct {
        uint32_t tag;
        uint32_t value;
    } shape_fields[] = {
        {TIFFTAG_IMAGEWIDTH, s.width},        {TIFFTAG_IMAGELENGTH, s.length},
        {TIFFTAG_BITSPERSAMPLE, s.bits},      {TIFFTAG_SAMPLESPERPIXEL, s.samples},
        {TIFFTAG_PHOTOMETRIC, s.photometric}, {TIFFTAG_COMPRESSION, s.compression},
        {TIFFTAG_PLANARCONFIG, s.planar},     {TIFFTAG_ROWSPERSTRIP, s.rows},
        {TIFFTAG_TILEWIDTH, s.tile},          {TIFFTAG_TILELENGTH, s.tile},
    };
    uint32_t refused = 0;
    for (const auto &f : shape_fields) {
        // A zero is a field the page leaves unset (Photometric 0 is a value).
        if ((f.value != 0 || f.tag == TIFFTAG_PHOTOMETRIC) && !TIFFSetField(tif, f.tag, f.value)) {
            refused = f.tag;
            break;
        }
    }
    if (refused)
        probe::SayCantSet(refused, run.name);
    return refused == 0;
}

// Values set through the table's access path, for the fields set twice
// and those unset.
bool SetExtra(TIFF *tif, const Unset &u, SetFn set)
{
    Values v;
    Access a;
    v.numbers.assign(u.values.begin(), u.values.end());
    v.count = static_cast<uint32_t>(v.numbers.size());
    v.text = u.text;
    if (u.text) {
        v.text_size = strlen(u.text) + 1;
        v.count = static_cast<uint32_t>(v.text_size);
    }
    return Describe(tif, u.tag, &a) && SetValues(tif, u.tag, v, a, set);
}

bool StillPresent(TIFF *tif, uint32_t tag)
{
    Access a;
    Fetched got;
    return Describe(tif, tag, &a) && Fetch(tif, tag, a, Values(), TIFFGetField, &got);
}

bool WriteImage(TIFF *tif, Run &run, const Shape &s, size_t page)
{
    const bool tiled = s.tile != 0;
    const tmsize_t size = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    const uint32_t chunks = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    // As many as TIFF 6.0 says, a volume's slices included, each written.
    if (!chunks::SameNumber(run.name, static_cast<unsigned>(page), chunks, ChunksOf(s),
                            tiled ? "TIFFNumberOfTiles" : "TIFFNumberOfStrips"))
        return false;
    // Elsewhere the pixels do not matter: zeros, which cost nothing to make.
    std::vector<uint8_t> data(size > 0 ? static_cast<size_t>(size) : 1,
                              s.compression == COMPRESSION_JPEG ? jpeg_level : 0);
    for (uint32_t c = 0; c < chunks && size > 0; c++) {
        // The write calls return -1 on error, so only a positive count is success.
        const tmsize_t written = tiled ? TIFFWriteEncodedTile(tif, c, data.data(), size)
                                       : TIFFWriteEncodedStrip(tif, c, data.data(), size);
        if (written <= 0)
            break;
        if (c + 1 == chunks)
            return true;
    }
    probe::SayCantWrite(run.name);
    return false;
}

bool WritePage(TIFF *tif, Run &run, const Shape &s, size_t page)
{
    if (!SetShape(tif, run, s))
        return false;
    // The fastest level: at the default one, compressing two tiles of zeros
    // costs more than setting and checking all the page's fields.
    if (s.compression == COMPRESSION_ADOBE_DEFLATE && !TIFFSetField(tif, TIFFTAG_ZIPQUALITY, 1)) {
        probe::SayCantSet(TIFFTAG_ZIPQUALITY, run.name);
        return false;
    }
    if (!CheckDefaults(tif, run, s.home, true))
        run.failed = true;
    if (s.home == Home::Main) {
        // Set first through TIFFVSetField, then through TIFFSetField.
        for (const Unset &u : overwritten) {
            if (!SetExtra(tif, u, probe::VSet)) {
                probe::SayCantSet(u.tag, run.name);
                run.failed = true;
            }
        }
        // Each on its own, so that one refused hides not the other.
        if (!TIFFSetField(tif, private_long_tag, private_long)) {
            probe::SayCantSet(private_long_tag, run.name);
            run.failed = true;
        }
        if (!TIFFSetField(tif, private_text_tag, private_text)) {
            probe::SayCantSet(private_text_tag, run.name);
            run.failed = true;
        }
    }
    SetFields(tif, run, s.home, s.home == vset_home ? probe::VSet : TIFFSetField);
    if (s.home == unset_home) {
        for (const Unset &u : unsets) {
            if (!SetExtra(tif, u, TIFFSetField)) {
                probe::SayCantSet(u.tag, run.name);
                run.failed = true;
            } else if (!TIFFUnsetField(tif, u.tag) || StillPresent(tif, u.tag)) {
                run.failed = !run.SayLingering(u.tag) || run.failed;
            }
        }
    }
    if (!WriteImage(tif, run, s, page))
        return false;
    // The next directory, set up once this one is written, needs them no more.
    page0 = false;
    return probe::WriteDirectory(tif, page, run.name);
}

const char *CustomName(Home home)
{
    return home == Home::Exif ? "EXIF IFD" : home == Home::Gps ? "GPS IFD" : "Interoperability IFD";
}

size_t CustomIndex(Home home)
{
    return home == Home::Exif ? 0 : home == Home::Gps ? 1 : 2;
}

// The Interoperability directory is a custom directory whose fields the
// program describes itself: the library has no schema of its own for it,
// and TIFFCustomDirectory(3tiff) gives a program none but EXIF's and GPS's,
// whose fields it starts from. Its link in the EXIF directory is described
// here as well, for a library whose EXIF fields lack it.
char interop_index_name[] = "InteroperabilityIndex";
char interop_version_name[] = "InteroperabilityVersion";
char interop_link_name[] = "InteroperabilityIFD";
const TIFFFieldInfo interop_fields[] = {
    {ifd::interop_tag::InteroperabilityIndex, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII,
     FIELD_CUSTOM, 1, 0, interop_index_name},
    {ifd::interop_tag::InteroperabilityVersion, 4, 4, TIFF_UNDEFINED, FIELD_CUSTOM, 1, 0,
     interop_version_name},
};
const TIFFFieldInfo interop_link[] = {
    {ifd::exif_tag::InteroperabilityIFD, 1, 1, TIFF_IFD8, FIELD_CUSTOM, 1, 0, interop_link_name},
};

// These return 0 on success, unlike most of the library.
int CreateCustom(TIFF *tif, Home home)
{
    if (home == Home::Exif) {
        const int created = TIFFCreateEXIFDirectory(tif);
        return created != 0 || TIFFFindField(tif, interop_link[0].field_tag, TIFF_ANY)
                   ? created
                   : TIFFMergeFieldInfo(tif, interop_link, 1);
    }
    if (home == Home::Gps)
        return TIFFCreateGPSDirectory(tif);
    const int created = TIFFCreateCustomDirectory(tif, _TIFFGetExifFields());
    return created != 0 ? created : TIFFMergeFieldInfo(tif, interop_fields, 2);
}

int ReadCustom(TIFF *tif, Home home, uint64_t at)
{
    if (home == Home::Exif)
        return TIFFReadEXIFDirectory(tif, at);
    if (home == Home::Gps)
        return TIFFReadGPSDirectory(tif, at);
    return TIFFReadCustomDirectory(tif, at, _TIFFGetExifFields());
}

bool WriteCustom(TIFF *tif, Run &run, Home home, uint64_t *offset)
{
    if (CreateCustom(tif, home) != 0) {
        probe::SayCantDirectory("create", run.name, CustomName(home));
        return false;
    }
    if (run.query && home != Home::Interop &&
        !CheckQuery(tif, run, home == Home::Exif, home == Home::Gps))
        run.failed = true;
    SetFields(tif, run, home, TIFFSetField);
    if (!TIFFWriteCustomDirectory(tif, offset)) {
        probe::SayCantDirectory("write", run.name, CustomName(home));
        return false;
    }
    // Creating the next directory does not release this one's values.
    TIFFFreeDirectory(tif);
    return true;
}

bool WriteFile(Run &run)
{
    const probe::Tiff tif = probe::Create(run.layout);
    if (!tif)
        return false;
    if (run.query && !CheckQuery(tif, run, false, false))
        run.failed = true;
    // The Interoperability directory first: the EXIF directory links it.
    if (!WriteCustom(tif, run, Home::Interop, &run.links[2]))
        return false;
    SetLinks(run);
    if (!WriteCustom(tif, run, Home::Exif, &run.links[0]) ||
        !WriteCustom(tif, run, Home::Gps, &run.links[1]))
        return false;
    SetLinks(run);
    page0 = true;
    if (TIFFCreateDirectory(tif) != 0) {
        probe::SayCantDirectory("create", run.name, probe::Page(0).c_str());
        return false;
    }
    for (size_t p = 0; p < page_count; p++) {
        if (!WritePage(tif, run, shapes[p], p))
            return false;
    }
    return true;
}

} // namespace fields
