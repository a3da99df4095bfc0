// Proves that the TIFF library walks, rewrites, extends and shortens a
// multi-page file, and writes and reads EXIF, GPS and sub-image directories,
// in a little-endian classic TIFF and a big-endian BigTIFF file. After every
// step the file is read twice: through the library, and by ifd_reader, which
// walks the IFD chain from the bytes: a library that appends where it should
// rewrite may well read its own mistake back without a complaint.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "directory_values.h"
#include "probe_support.h"

using dirs::descriptions;
using dirs::exif_tags;
using dirs::gps_tags;
using dirs::length;
using dirs::max_pages;
using dirs::original_pages;
using dirs::rewritten_description;
using dirs::rewritten_software;
using dirs::sub_images;
using dirs::SubImage;
using dirs::Tag;
using dirs::width;
using probe::Layout;

constexpr Layout layouts[] = {
    {"pages_le.tif", false, false},
    {"pages_be.btf", true, true},
};

// Page 0 links the EXIF and GPS directories, page 3 the sub-images.
constexpr int custom_page = 0;
constexpr int subifd_page = 3;
// Page 2 after its rewrite: a longer description and a field it never had.
constexpr int rewritten_page = 2;

struct ImageField {
    ttag_t tag;
    uint32_t value;
};

constexpr uint16_t sub_image_count = sizeof(sub_images) / sizeof(sub_images[0]);

struct CustomDirectory {
    const char *name;
    ttag_t link; // the page's field that holds the directory's offset
    int (*create)(TIFF *);
    int (*read)(TIFF *, toff_t);
    const Tag *tags;
    size_t count;
};

const CustomDirectory custom_directories[] = {
    {"EXIF IFD", TIFFTAG_EXIFIFD, TIFFCreateEXIFDirectory, TIFFReadEXIFDirectory, exif_tags,
     sizeof(exif_tags) / sizeof(exif_tags[0])},
    {"GPS IFD", TIFFTAG_GPSIFD, TIFFCreateGPSDirectory, TIFFReadGPSDirectory, gps_tags,
     sizeof(gps_tags) / sizeof(gps_tags[0])},
};
constexpr size_t custom_count = sizeof(custom_directories) / sizeof(custom_directories[0]);

// What the file holds after a step: the original page at each index.
struct Expected {
    int pages;
    int ids[max_pages];
    bool rewritten; // page 2 carries its new description and field
};

static uint8_t FirstPixel(int id)
{
    return static_cast<uint8_t>(1 + 40 * id);
}

// "SubIFD K", the place of a line about a sub-image.
static std::string SubPlace(size_t k)
{
    return "SubIFD " + std::to_string(k);
}

// Sets the fields of an image of one strip; returns the tag that was
// refused, 0 when all were set.
static ttag_t SetImage(TIFF *tif, uint32_t image_width, uint32_t image_length)
{
    const ImageField base_fields[] = {
        {TIFFTAG_IMAGEWIDTH, image_width},
        {TIFFTAG_IMAGELENGTH, image_length},
        {TIFFTAG_BITSPERSAMPLE, 8},
        {TIFFTAG_SAMPLESPERPIXEL, 1},
        {TIFFTAG_ROWSPERSTRIP, image_length},
        {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
        {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
    };
    size_t i;

    for (i = 0; i < sizeof(base_fields) / sizeof(base_fields[0]); i++) {
        if (!TIFFSetField(tif, base_fields[i].tag, base_fields[i].value))
            return base_fields[i].tag;
    }
    return 0;
}

// Writes the one strip of an image whose pixels count up from `first`.
static bool WritePixels(TIFF *tif, uint32_t image_width, uint32_t image_length, uint8_t first)
{
    uint8_t buf[width * length];
    const uint32_t size = image_width * image_length;
    uint32_t i;

    for (i = 0; i < size; i++)
        buf[i] = static_cast<uint8_t>(first + i);
    // The write calls return -1 on error, so only a positive count is success.
    return TIFFWriteEncodedStrip(tif, 0, buf, size) > 0;
}

// Writes the image and the directory whose fields are set, unless a field
// was refused (`refused` is its tag).
static bool WriteImage(TIFF *tif, const char *filename, const char *place, ttag_t refused,
                       uint32_t image_width, uint32_t image_length, uint8_t first)
{
    if (refused) {
        probe::SayCantSet(refused, filename, place);
        return false;
    }
    if (!WritePixels(tif, image_width, image_length, first)) {
        probe::SayCantWrite(filename, place);
        return false;
    }
    if (!TIFFWriteDirectory(tif)) {
        probe::SayCantDirectory("write", filename, place);
        return false;
    }
    return true;
}

// Sets, writes and links page `id`: its fields, its pixels and its directory.
static bool WritePage(TIFF *tif, const char *filename, int id)
{
    const uint16_t total = id < original_pages ? original_pages : max_pages;
    const std::string page = probe::Page(id);
    ttag_t refused = SetImage(tif, width, length);

    if (!refused && !TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, descriptions[id]))
        refused = TIFFTAG_IMAGEDESCRIPTION;
    if (!refused && !TIFFSetField(tif, TIFFTAG_PAGENUMBER, id, total))
        refused = TIFFTAG_PAGENUMBER;
    return WriteImage(tif, filename, page.c_str(), refused, width, length, FirstPixel(id));
}

static bool SetTag(TIFF *tif, const Tag &t)
{
    if (t.type == TIFF_SHORT) {
        uint16_t shorts[3];
        for (int i = 0; i < t.count; i++)
            shorts[i] = static_cast<uint16_t>(t.numbers[i]);
        return TIFFSetField(tif, t.tag, t.count, shorts) == 1;
    }
    // A single RATIONAL travels as a double, an array of them as a pointer.
    if (t.type == TIFF_RATIONAL && t.count == 1)
        return TIFFSetField(tif, t.tag, t.numbers[0]) == 1;
    if (t.type == TIFF_RATIONAL)
        return TIFFSetField(tif, t.tag, t.numbers) == 1;
    return TIFFSetField(tif, t.tag, t.bytes) == 1;
}

// Writes a custom directory, unlinked, and gives back its offset. The
// directories go first, so that page 0 can carry their offsets when it is
// written and need not be written twice.
static bool WriteCustom(TIFF *tif, const char *filename, const CustomDirectory &d, uint64_t *offset)
{
    size_t i;

    // These return 0 on success, unlike most of the library.
    if (d.create(tif) != 0) {
        probe::SayCantDirectory("create", filename, d.name);
        return false;
    }
    for (i = 0; i < d.count; i++) {
        if (!SetTag(tif, d.tags[i])) {
            probe::SayCantSet(d.tags[i].tag, filename, d.name);
            return false;
        }
    }
    if (!TIFFWriteCustomDirectory(tif, offset)) {
        probe::SayCantDirectory("write", filename, d.name);
        return false;
    }
    // Creating the next directory does not release this one's values.
    TIFFFreeDirectory(tif);
    return true;
}

// The sub-images follow their page: the library writes the next directories
// as its SubIFDs, as many as the page announced, and fills in their offsets.
static bool WriteSubImages(TIFF *tif, const char *filename)
{
    uint64_t offsets[sub_image_count] = {0};
    ttag_t refused;
    uint16_t k;

    if (!TIFFSetField(tif, TIFFTAG_SUBIFD, sub_image_count, offsets)) {
        probe::SayCantSet(TIFFTAG_SUBIFD, filename, probe::Page(subifd_page).c_str());
        return false;
    }
    if (!WritePage(tif, filename, subifd_page))
        return false;
    for (k = 0; k < sub_image_count; k++) {
        const SubImage &s = sub_images[k];
        const std::string place = SubPlace(k);
        refused = SetImage(tif, s.width, s.length);
        if (!refused && !TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE))
            refused = TIFFTAG_SUBFILETYPE;
        if (!WriteImage(tif, filename, place.c_str(), refused, s.width, s.length, s.first_pixel))
            return false;
    }
    return true;
}

static bool WritePages(const Layout &layout)
{
    uint64_t offsets[custom_count] = {0};
    const probe::Tiff tif = probe::Create(layout);

    if (!tif)
        return false;
    for (size_t i = 0; i < custom_count; i++) {
        if (!WriteCustom(tif, layout.filename, custom_directories[i], &offsets[i]))
            return false;
    }
    // Back from the custom directories to an image directory.
    if (TIFFCreateDirectory(tif) != 0) {
        probe::SayCantDirectory("create", layout.filename, probe::Page(custom_page).c_str());
        return false;
    }
    for (size_t i = 0; i < custom_count; i++) {
        if (!TIFFSetField(tif, custom_directories[i].link, offsets[i])) {
            probe::SayCantSet(custom_directories[i].link, layout.filename,
                              probe::Page(custom_page).c_str());
            return false;
        }
    }
    for (int id = 0; id < original_pages; id++) {
        if (!(id == subifd_page ? WriteSubImages(tif, layout.filename)
                                : WritePage(tif, layout.filename, id)))
            return false;
    }
    return true;
}

static bool RewritePage(const Layout &layout)
{
    // The header only: page 0 is not needed, page 2 is read by the jump.
    const probe::Tiff tif = probe::Reopen(layout.filename, "r+h");

    if (!tif)
        return false;
    if (!TIFFSetDirectory(tif, rewritten_page)) {
        probe::Say("%s: page %d: can't go to the page.", layout.filename, rewritten_page);
        return false;
    }
    if (!TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, rewritten_description)) {
        probe::SayCantSet(TIFFTAG_IMAGEDESCRIPTION, layout.filename,
                          probe::Page(rewritten_page).c_str());
        return false;
    }
    if (!TIFFSetField(tif, TIFFTAG_SOFTWARE, rewritten_software)) {
        probe::SayCantSet(TIFFTAG_SOFTWARE, layout.filename, probe::Page(rewritten_page).c_str());
        return false;
    }
    // The directory has grown, so it cannot stay where it is: the library
    // moves it to the end of the file and relinks it in its place.
    if (!TIFFRewriteDirectory(tif)) {
        probe::SayCantDirectory("rewrite", layout.filename, probe::Page(rewritten_page).c_str());
        return false;
    }
    return true;
}

static bool AppendPage(const Layout &layout)
{
    const probe::Tiff tif = probe::Reopen(layout.filename, "a");

    return tif && WritePage(tif, layout.filename, original_pages);
}

// Removes page 1; the library counts the pages to unlink from 1.
static bool RemovePage(const Layout &layout)
{
    // The header only: unlinking follows the chain's links, no page's fields.
    const probe::Tiff tif = probe::Reopen(layout.filename, "r+h");

    if (!tif)
        return false;
    if (!TIFFUnlinkDirectory(tif, 2)) {
        probe::SayCantDirectory("unlink", layout.filename, probe::Page(1).c_str());
        return false;
    }
    return true;
}

// Reads the one strip of the current image and compares every pixel.
static bool CheckPixels(TIFF *tif, const char *filename, const char *what, uint32_t image_width,
                        uint32_t image_length, uint8_t first)
{
    uint8_t buf[width * length];
    const uint32_t size = image_width * image_length;
    uint32_t i;

    if (TIFFReadEncodedStrip(tif, 0, buf, size) != static_cast<tmsize_t>(size)) {
        probe::SayCantRead("strip", 0, filename, what);
        return false;
    }
    for (i = 0; i < size; i++) {
        if (buf[i] != static_cast<uint8_t>(first + i)) {
            probe::SayWrongImageByte("strip", 0, filename, what, i, buf[i],
                                     static_cast<uint8_t>(first + i));
            return false;
        }
    }
    return true;
}

// Checks the current directory, read as page `k`, against original page `id`.
static bool CheckPage(TIFF *tif, const char *filename, int k, int id, bool rewritten)
{
    const bool changed = rewritten && id == rewritten_page;
    const char *expect = changed ? rewritten_description : descriptions[id];
    const uint16_t total = id < original_pages ? original_pages : max_pages;
    char *text = nullptr;
    uint16_t number = 0;
    uint16_t of = 0;
    const std::string page = probe::Page(k);
    const char *what = page.c_str();

    if (!TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) || !text) {
        probe::SayProblemFetching(TIFFTAG_IMAGEDESCRIPTION, filename, what);
        return false;
    }
    if (strcmp(text, expect) != 0) {
        probe::SayWrongText(TIFFTAG_IMAGEDESCRIPTION, filename, text, expect, what);
        return false;
    }
    if (!TIFFGetField(tif, TIFFTAG_PAGENUMBER, &number, &of)) {
        probe::SayProblemFetching(TIFFTAG_PAGENUMBER, filename, what);
        return false;
    }
    if (number != id || of != total) {
        const bool first = number != id;
        probe::SayWrongValue("SHORT", TIFFTAG_PAGENUMBER, filename, first ? 0 : 1,
                             first ? number : of, first ? id : total, what);
        return false;
    }
    text = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_SOFTWARE, &text) || !text) {
        if (changed) {
            probe::SayProblemFetching(TIFFTAG_SOFTWARE, filename, what);
            return false;
        }
    } else if (!changed || strcmp(text, rewritten_software) != 0) {
        // Only the rewritten page has the field.
        probe::SayWrongText(TIFFTAG_SOFTWARE, filename, text,
                            changed ? rewritten_software : nullptr, what);
        return false;
    }
    return CheckPixels(tif, filename, what, width, length, FirstPixel(id));
}

// The offsets that pages link: the EXIF and GPS directories of page 0 and
// the SubIFDs of the page that has them. They are fetched while the walk
// stands on those pages, so no page is read twice for them.
struct Links {
    uint64_t custom[custom_count];
    uint64_t sub[sub_image_count];
};

static bool FetchCustomLinks(TIFF *tif, const char *filename, Links *links)
{
    for (size_t i = 0; i < custom_count; i++) {
        const CustomDirectory &d = custom_directories[i];
        links->custom[i] = 0;
        if (!TIFFGetField(tif, d.link, &links->custom[i])) {
            probe::SayProblemFetching(d.link, filename, probe::Page(custom_page).c_str());
            return false;
        }
    }
    return true;
}

static bool FetchSubLinks(TIFF *tif, const char *filename, int k, Links *links)
{
    uint16_t count = 0;
    uint64_t *listed = nullptr;

    if (!TIFFGetField(tif, TIFFTAG_SUBIFD, &count, &listed) || !listed) {
        probe::SayProblemFetching(TIFFTAG_SUBIFD, filename, probe::Page(k).c_str());
        return false;
    }
    if (count != sub_image_count) {
        probe::SayWrongCount("IFD8", TIFFTAG_SUBIFD, filename, count, sub_image_count,
                             probe::Page(k).c_str());
        return false;
    }
    // The list belongs to the page, which the next read replaces.
    memcpy(links->sub, listed, sizeof(links->sub));
    return true;
}

// The pages in random order through TIFFSetDirectory, ending on page 0,
// then all of them in file order through TIFFReadDirectory, which must stop
// after the last.
static bool CheckPages(TIFF *tif, const char *filename, const Expected &e, Links *links)
{
    const int jumps[] = {3, 2, 0};
    int k;

    for (const int j : jumps) {
        if (!TIFFSetDirectory(tif, static_cast<tdir_t>(j))) {
            probe::Say("%s: page %d: can't go to the page.", filename, j);
            return false;
        }
        if (TIFFCurrentDirectory(tif) != static_cast<tdir_t>(j)) {
            probe::Say("%s: page %d: TIFFCurrentDirectory says %u.", filename, j,
                       static_cast<unsigned>(TIFFCurrentDirectory(tif)));
            return false;
        }
        if (!CheckPage(tif, filename, j, e.ids[j], e.rewritten))
            return false;
    }
    for (k = 0;; k++) {
        if (k == e.pages) {
            probe::Say("%s: expected %d pages, TIFFReadDirectory walks more.", filename, e.pages);
            return false;
        }
        if (TIFFCurrentDirectory(tif) != static_cast<tdir_t>(k)) {
            probe::Say("%s: page %d: TIFFCurrentDirectory says %u.", filename, k,
                       static_cast<unsigned>(TIFFCurrentDirectory(tif)));
            return false;
        }
        if (!CheckPage(tif, filename, k, e.ids[k], e.rewritten) ||
            (k == custom_page && !FetchCustomLinks(tif, filename, links)) ||
            (e.ids[k] == subifd_page && !FetchSubLinks(tif, filename, k, links)))
            return false;
        const bool last = TIFFLastDirectory(tif) != 0;
        if (last != (k + 1 == e.pages)) {
            probe::Say("%s: page %d: TIFFLastDirectory says %d.", filename, k,
                       TIFFLastDirectory(tif));
            return false;
        }
        if (!TIFFReadDirectory(tif))
            break;
    }
    if (k + 1 != e.pages) {
        probe::Say("%s: expected %d pages, TIFFReadDirectory walks %d.", filename, e.pages, k + 1);
        return false;
    }
    return true;
}

// The first of the values fetched that differs from the table's.
static bool SameFetched(const char *filename, const char *what, const Tag &t, const double *numbers,
                        const uint8_t *bytes)
{
    const char *type = ifd::TypeName(static_cast<uint16_t>(t.type));

    for (int i = 0; i < t.count; i++) {
        if (bytes && bytes[i] != static_cast<uint8_t>(t.bytes[i])) {
            probe::SayWrongValue(type, t.tag, filename, i, bytes[i],
                                 static_cast<uint8_t>(t.bytes[i]), what);
            return false;
        }
        if (!bytes && numbers[i] != t.numbers[i]) {
            probe::SayWrongNumber(type, t.tag, filename, i, numbers[i], t.numbers[i], what);
            return false;
        }
    }
    return true;
}

// Fetches one field of a custom directory in the form the library's field
// information gives it: SHORT arrays with their count, ExposureTime as a
// float, GPSLatitude as an array of doubles, the rest as bytes.
static bool CheckTag(TIFF *tif, const char *filename, const char *what, const Tag &t)
{
    uint16_t count = t.count;
    uint16_t *shorts = nullptr;
    float single = 0;
    double *rationals = nullptr;
    char *text = nullptr;
    double got[3] = {0, 0, 0};
    bool fetched = false;
    int i;

    if (t.type == TIFF_SHORT)
        fetched = TIFFGetField(tif, t.tag, &count, &shorts) && shorts;
    else if (t.type == TIFF_RATIONAL && t.count == 1)
        fetched = TIFFGetField(tif, t.tag, &single) == 1;
    else if (t.type == TIFF_RATIONAL)
        fetched = TIFFGetField(tif, t.tag, &rationals) && rationals;
    else
        fetched = TIFFGetField(tif, t.tag, &text) && text;
    if (!fetched) {
        probe::SayProblemFetching(t.tag, filename, what);
        return false;
    }
    if (count != t.count) {
        probe::SayWrongCount(ifd::TypeName(static_cast<uint16_t>(t.type)), t.tag, filename, count,
                             t.count, what);
        return false;
    }
    if (t.type == TIFF_ASCII && strcmp(text, t.bytes) != 0) {
        probe::SayWrongText(t.tag, filename, text, t.bytes, what);
        return false;
    }
    if (t.type == TIFF_ASCII)
        return true;
    if (text)
        return SameFetched(filename, what, t, nullptr, reinterpret_cast<uint8_t *>(text));
    for (i = 0; i < t.count; i++)
        got[i] = shorts ? shorts[i] : rationals ? rationals[i] : single;
    return SameFetched(filename, what, t, got, nullptr);
}

// Reads the EXIF and GPS directories that page 0 links.
static bool CheckCustom(TIFF *tif, const char *filename, const Links &links)
{
    for (size_t i = 0; i < custom_count; i++) {
        const CustomDirectory &d = custom_directories[i];
        if (!d.read(tif, links.custom[i])) {
            probe::SayCantDirectory("read", filename, d.name);
            return false;
        }
        for (size_t k = 0; k < d.count; k++) {
            if (!CheckTag(tif, filename, d.name, d.tags[k]))
                return false;
        }
    }
    return true;
}

// Fetches a LONG field of the current directory and compares it.
static bool FetchedLong(TIFF *tif, ttag_t tag, uint32_t expect, const char *filename,
                        const char *what)
{
    uint32_t value = 0;

    if (!TIFFGetField(tif, tag, &value)) {
        probe::SayProblemFetching(tag, filename, what);
        return false;
    }
    if (value != expect) {
        probe::SayWrongValue("LONG", tag, filename, 0, value, expect, what);
        return false;
    }
    return true;
}

static bool CheckSubImages(TIFF *tif, const char *filename, const Links &links)
{
    for (uint16_t i = 0; i < sub_image_count; i++) {
        const SubImage &s = sub_images[i];
        const std::string place = SubPlace(i);
        const char *what = place.c_str();
        if (!TIFFSetSubDirectory(tif, links.sub[i])) {
            probe::Say("%s: %s: can't go to the IFD at %" PRIu64 ".", filename, what, links.sub[i]);
            return false;
        }
        if (!FetchedLong(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE, filename, what) ||
            !FetchedLong(tif, TIFFTAG_IMAGEWIDTH, s.width, filename, what) ||
            !FetchedLong(tif, TIFFTAG_IMAGELENGTH, s.length, filename, what) ||
            !CheckPixels(tif, filename, what, s.width, s.length, s.first_pixel))
            return false;
    }
    return true;
}

static int IndexOf(const Expected &e, int id)
{
    int k;

    for (k = 0; k < e.pages && e.ids[k] != id; k++) {
    }
    return k;
}

// Everything the library can tell about the file after a step. The pages are
// counted again at the end: visiting the SubIFDs must not add to the chain.
static bool CheckLibrary(const Layout &layout, const Expected &e)
{
    // The header only: the first jump reads the first page it needs, so no
    // page is read for nothing.
    const probe::Tiff tif = probe::Reopen(layout.filename, "rh");
    Links links;

    if (!tif)
        return false;
    for (int pass = 0; pass < 2; pass++) {
        const tdir_t count = TIFFNumberOfDirectories(tif);
        if (count != static_cast<tdir_t>(e.pages)) {
            probe::Say("%s: expected %d pages, the library counts %u.", layout.filename, e.pages,
                       static_cast<unsigned>(count));
            return false;
        }
        if (pass == 0 && (!CheckPages(tif, layout.filename, e, &links) ||
                          !CheckCustom(tif, layout.filename, links) ||
                          !CheckSubImages(tif, layout.filename, links)))
            return false;
    }
    return true;
}

// The linked IFD at `offset`, as the whole-file reading found it, with its
// tags ascending.
static const ifd::Directory *LinkedIfd(const ifd::File &file, const char *filename, uint64_t offset)
{
    const ifd::Directory *dir = file.Find(offset);
    if (!dir) {
        probe::Say("%s: IFD at %" PRIu64 ": not read.", filename, offset);
        return nullptr;
    }
    return probe::TagsAscending(*dir, filename) ? dir : nullptr;
}

// The offsets in a field of type LONG or IFD, or in BigTIFF also LONG8 or
// IFD8, that links other IFDs.
static bool ReadLinks(const ifd::Directory &dir, bool bigtiff, const char *filename,
                      const char *what, ttag_t tag, uint64_t count, const uint64_t **offsets)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, tag);

    if (!entry) {
        probe::SayMissingOnDisk(tag, filename, what);
        return false;
    }
    // LONG8 and IFD8 exist only in BigTIFF.
    const bool wide = entry->type == ifd::LONG8 || entry->type == ifd::IFD8;
    if ((entry->type != ifd::LONG && entry->type != ifd::IFD && !(wide && bigtiff)) ||
        entry->count != count || entry->values.size() != count) {
        probe::SayWrongEntry(*entry, filename,
                             bigtiff ? "LONG or IFD or LONG8 or IFD8" : "LONG or IFD", count, what);
        return false;
    }
    *offsets = entry->values.data();
    return true;
}

static bool CheckTagOnDisk(const ifd::Directory &dir, const char *filename, const char *what,
                           const Tag &t)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, t.tag);
    const size_t elements = t.type == TIFF_RATIONAL ? 2 : 1;

    if (!entry) {
        probe::SayMissingOnDisk(t.tag, filename, what);
        return false;
    }
    if (entry->type != t.type || entry->count != t.count ||
        entry->values.size() != t.count * elements) {
        probe::SayWrongEntry(*entry, filename, ifd::TypeName(static_cast<uint16_t>(t.type)),
                             t.count, what);
        return false;
    }
    for (size_t i = 0; i < t.count; i++) {
        if (t.type == TIFF_ASCII && entry->values[i] != static_cast<uint8_t>(t.bytes[i])) {
            probe::SayWrongByteOnDisk(t.tag, filename, i, static_cast<unsigned>(entry->values[i]),
                                      static_cast<uint8_t>(t.bytes[i]), what);
            return false;
        }
        if (t.type != TIFF_ASCII && t.bytes &&
            entry->values[i] != static_cast<uint8_t>(t.bytes[i])) {
            probe::SayWrongValueOnDisk(t.tag, filename, i, entry->values[i],
                                       static_cast<uint8_t>(t.bytes[i]), what);
            return false;
        }
        if (!t.bytes && probe::Number(*entry, i) != t.numbers[i]) {
            probe::SayWrongNumberOnDisk(t.tag, filename, i, probe::Number(*entry, i), t.numbers[i],
                                        what);
            return false;
        }
    }
    return true;
}

// A field of one integer on disk, of whichever type holds it.
static bool CheckNumberOnDisk(const ifd::Directory &dir, const char *filename, const char *what,
                              ttag_t tag, uint64_t expect)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, tag);

    if (!entry) {
        probe::SayMissingOnDisk(tag, filename, what);
        return false;
    }
    if (entry->count != 1 || entry->values.size() != 1) {
        probe::SayWrongEntry(*entry, filename, ifd::TypeName(entry->type), 1, what);
        return false;
    }
    if (entry->values[0] != expect) {
        probe::SayWrongValueOnDisk(tag, filename, 0, entry->values[0], expect, what);
        return false;
    }
    return true;
}

static bool CheckDescriptionOnDisk(const ifd::Directory &dir, const char *filename, int k,
                                   const char *expect)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, TIFFTAG_IMAGEDESCRIPTION);
    const std::string page = probe::Page(k);
    const size_t n = strlen(expect) + 1;

    if (!entry) {
        probe::SayMissingOnDisk(TIFFTAG_IMAGEDESCRIPTION, filename, page.c_str());
        return false;
    }
    if (entry->type != ifd::ASCII || entry->count != n || entry->values.size() != n) {
        probe::SayWrongEntry(*entry, filename, "ASCII", n, page.c_str());
        return false;
    }
    for (size_t i = 0; i < n; i++) {
        if (entry->values[i] != static_cast<uint8_t>(expect[i])) {
            probe::SayWrongByteOnDisk(TIFFTAG_IMAGEDESCRIPTION, filename, i,
                                      static_cast<unsigned>(entry->values[i]),
                                      static_cast<uint8_t>(expect[i]), page.c_str());
            return false;
        }
    }
    return true;
}

// The EXIF and GPS directories that page 0 links, and the SubIFDs of page 3.
static bool CheckLinkedOnDisk(const ifd::File &file, const char *filename, const Expected &e)
{
    const std::vector<ifd::Directory> &chain = file.chain;
    const ifd::Directory *dir = nullptr;
    const uint64_t *offsets = nullptr;

    for (const CustomDirectory &d : custom_directories) {
        if (!ReadLinks(chain[custom_page], file.header.bigtiff, filename,
                       probe::Page(custom_page).c_str(), d.link, 1, &offsets) ||
            !(dir = LinkedIfd(file, filename, offsets[0])))
            return false;
        for (size_t k = 0; k < d.count; k++) {
            if (!CheckTagOnDisk(*dir, filename, d.name, d.tags[k]))
                return false;
        }
    }
    const int k = IndexOf(e, subifd_page);
    if (!ReadLinks(chain[k], file.header.bigtiff, filename, probe::Page(k).c_str(), TIFFTAG_SUBIFD,
                   sub_image_count, &offsets))
        return false;
    for (size_t i = 0; i < sub_image_count; i++) {
        const std::string place = SubPlace(i);
        const char *what = place.c_str();
        if (!(dir = LinkedIfd(file, filename, offsets[i])) ||
            !CheckNumberOnDisk(*dir, filename, what, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE) ||
            !CheckNumberOnDisk(*dir, filename, what, TIFFTAG_IMAGEWIDTH, sub_images[i].width) ||
            !CheckNumberOnDisk(*dir, filename, what, TIFFTAG_IMAGELENGTH, sub_images[i].length))
            return false;
    }
    return true;
}

// The file as its bytes say, without the library: the main chain holds
// exactly the pages expected, in order, with no loop, and everything linked
// from them is where the links say.
static bool CheckDisk(const Layout &layout, const Expected &e)
{
    probe::OnDisk disk;
    const ifd::File &file = disk.file;

    // The library reads either byte order and format; only the bytes tell
    // whether it wrote the ones the mode asked for.
    if (!probe::ReadFormat(layout, &disk) ||
        !probe::PagesOnDisk(file, static_cast<size_t>(e.pages), layout.filename))
        return false;
    for (int k = 0; k < e.pages; k++) {
        const int id = e.ids[k];
        if (!probe::TagsAscending(file.chain[k], layout.filename) ||
            !CheckDescriptionOnDisk(file.chain[k], layout.filename, k,
                                    e.rewritten && id == rewritten_page ? rewritten_description
                                                                        : descriptions[id]))
            return false;
    }
    return CheckLinkedOnDisk(file, layout.filename, e);
}

struct Step {
    bool (*change)(const Layout &layout);
    Expected expected;
};

// Each step changes the file and states what it must hold afterwards.
constexpr Step steps[] = {
    {WritePages, {4, {0, 1, 2, 3, 0}, false}},
    {RewritePage, {4, {0, 1, 2, 3, 0}, true}},
    {AppendPage, {5, {0, 1, 2, 3, 4}, true}},
    {RemovePage, {4, {0, 2, 3, 4, 0}, true}},
};

// The steps in order, up to the first that fails; a failed layout's file
// stays behind for inspection.
static bool RunSteps(const Layout &layout)
{
    bool ok = true;
    for (size_t i = 0; ok && i < sizeof(steps) / sizeof(steps[0]); i++) {
        const Step &step = steps[i];
        const unsigned long messages = LibraryMessages();
        // A healthy library says nothing during any of this.
        ok = step.change(layout) && CheckLibrary(layout, step.expected) &&
             CheckDisk(layout, step.expected) && probe::LibraryQuiet(layout.filename, messages);
    }
    return ok;
}

int main()
{
    CountLibraryMessages();
    return probe::RunLayouts(layouts, RunSteps);
}
