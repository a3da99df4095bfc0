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
#include <vector>

#include <tiffio.h>
#include <unistd.h>

#include "ifd_reader.h"
#include "probe_support.h"

struct DirectoryLayout {
    const char *filename;
    const char *mode;
    bool big_endian;
    bool bigtiff;
};

constexpr DirectoryLayout layouts[] = {
    {"pages_le.tif", "wl", false, false},
    {"pages_be.btf", "w8b", true, true},
};

// Every page is one strip of 8 x 4 pixels of one 8-bit sample; pixel i of a
// page is its first pixel + i, so no two pages or sub-images look alike.
extern const uint32_t width = 8;
extern const uint32_t length = 4;
constexpr int max_pages = 5;
// The file starts with four pages, PageNumber K/4; the appended one is 4/5.
constexpr int original_pages = 4;
const char *const descriptions[max_pages] = {"page 0", "page 1", "page 2", "page 3", "page 4"};
// Page 0 links the EXIF and GPS directories, page 3 the sub-images.
constexpr int custom_page = 0;
constexpr int subifd_page = 3;
// Page 2 after its rewrite: a longer description and a field it never had.
constexpr int rewritten_page = 2;
const char rewritten_description[] = "page 2, rewritten in place with a longer description";
const char rewritten_software[] = "directory_probe";

struct ImageField {
    ttag_t tag;
    uint32_t value;
};

struct SubImage {
    uint32_t width;
    uint32_t length;
    uint8_t first_pixel;
};

// The reduced-resolution images of page 3, half and quarter size.
constexpr SubImage sub_images[] = {
    {4, 2, 200},
    {2, 1, 220},
};
constexpr uint16_t sub_image_count = sizeof(sub_images) / sizeof(sub_images[0]);

// One field of the EXIF or GPS directory.
struct Tag {
    ttag_t tag;
    TIFFDataType type;
    uint16_t count;
    const char *bytes; // ASCII (its NUL counted), BYTE and UNDEFINED values
    double numbers[3]; // SHORT and RATIONAL values
};

// 1/128 and the latitude's whole and half numbers are values that the
// library's storage of RATIONALs (a float for ExposureTime) keeps exactly.
constexpr Tag exif_tags[] = {
    {EXIFTAG_EXPOSURETIME, TIFF_RATIONAL, 1, nullptr, {0.0078125, 0, 0}},
    {EXIFTAG_ISOSPEEDRATINGS, TIFF_SHORT, 2, nullptr, {100, 200, 0}},
    {EXIFTAG_EXIFVERSION, TIFF_UNDEFINED, 4, "0231", {0, 0, 0}},
    {EXIFTAG_DATETIMEORIGINAL, TIFF_ASCII, 20, "2026:12:08 07:00:00", {0, 0, 0}},
};

constexpr Tag gps_tags[] = {
    {GPSTAG_VERSIONID, TIFF_BYTE, 4, "\2\2\0\0", {0, 0, 0}},
    {GPSTAG_LATITUDEREF, TIFF_ASCII, 2, "N", {0, 0, 0}},
    {GPSTAG_LATITUDE, TIFF_RATIONAL, 3, nullptr, {48, 8, 30.5}},
};

struct CustomDirectory {
    const char *name;
    ttag_t link; // the page's field that holds the directory's offset
    int (*create)(TIFF *);
    int (*read)(TIFF *, toff_t);
    const Tag *tags;
    size_t count;
};

const CustomDirectory custom_directories[] = {
    {"EXIF", TIFFTAG_EXIFIFD, TIFFCreateEXIFDirectory, TIFFReadEXIFDirectory, exif_tags,
     sizeof(exif_tags) / sizeof(exif_tags[0])},
    {"GPS", TIFFTAG_GPSIFD, TIFFCreateGPSDirectory, TIFFReadGPSDirectory, gps_tags,
     sizeof(gps_tags) / sizeof(gps_tags[0])},
};
constexpr size_t custom_count = sizeof(custom_directories) / sizeof(custom_directories[0]);

// What the file holds after a step: the original page at each index.
struct Expected {
    int pages;
    int ids[max_pages];
    bool rewritten; // page 2 carries its new description and field
};

static uint8_t first_pixel(int id)
{
    return static_cast<uint8_t>(1 + 40 * id);
}

// Sets the fields of an image of one strip; returns the tag that was
// refused, 0 when all were set.
static ttag_t set_image(TIFF *tif, uint32_t image_width, uint32_t image_length)
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
static int write_pixels(TIFF *tif, uint32_t image_width, uint32_t image_length, uint8_t first)
{
    uint8_t buf[width * length];
    const uint32_t size = image_width * image_length;
    uint32_t i;

    for (i = 0; i < size; i++)
        buf[i] = static_cast<uint8_t>(first + i);
    // The write calls return -1 on error, so only a positive count is success.
    return TIFFWriteEncodedStrip(tif, 0, buf, size) > 0;
}

// Sets, writes and links page `id`: its fields, its pixels and its directory.
static int write_page(TIFF *tif, const char *filename, int id)
{
    const uint16_t total = id < original_pages ? original_pages : max_pages;
    ttag_t refused = set_image(tif, width, length);

    if (!refused && !TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, descriptions[id]))
        refused = TIFFTAG_IMAGEDESCRIPTION;
    if (!refused && !TIFFSetField(tif, TIFFTAG_PAGENUMBER, id, total))
        refused = TIFFTAG_PAGENUMBER;
    if (refused) {
        probe::Say("%s: page %d: can't set tag %lu.", filename, id,
                   static_cast<unsigned long>(refused));
        return 1;
    }
    if (!write_pixels(tif, width, length, first_pixel(id))) {
        probe::Say("%s: page %d: can't write image data.", filename, id);
        return 1;
    }
    if (!TIFFWriteDirectory(tif)) {
        probe::Say("%s: page %d: can't write the directory.", filename, id);
        return 1;
    }
    return 0;
}

static int set_tag(TIFF *tif, const Tag &t)
{
    if (t.type == TIFF_SHORT) {
        uint16_t shorts[3];
        for (int i = 0; i < t.count; i++)
            shorts[i] = static_cast<uint16_t>(t.numbers[i]);
        return TIFFSetField(tif, t.tag, t.count, shorts);
    }
    // A single RATIONAL travels as a double, an array of them as a pointer.
    if (t.type == TIFF_RATIONAL && t.count == 1)
        return TIFFSetField(tif, t.tag, t.numbers[0]);
    if (t.type == TIFF_RATIONAL)
        return TIFFSetField(tif, t.tag, t.numbers);
    return TIFFSetField(tif, t.tag, t.bytes);
}

// Writes a custom directory, unlinked, and gives back its offset. The
// directories go first, so that page 0 can carry their offsets when it is
// written and need not be written twice.
static int write_custom(TIFF *tif, const char *filename, const CustomDirectory &d, uint64_t *offset)
{
    size_t i;

    // These return 0 on success, unlike most of the library.
    if (d.create(tif) != 0) {
        probe::Say("%s: %s: can't create the directory.", filename, d.name);
        return 1;
    }
    for (i = 0; i < d.count; i++) {
        if (!set_tag(tif, d.tags[i])) {
            probe::Say("%s: %s: can't set tag %lu.", filename, d.name,
                       static_cast<unsigned long>(d.tags[i].tag));
            return 1;
        }
    }
    if (!TIFFWriteCustomDirectory(tif, offset)) {
        probe::Say("%s: %s: can't write the directory.", filename, d.name);
        return 1;
    }
    // Creating the next directory does not release this one's values.
    TIFFFreeDirectory(tif);
    return 0;
}

// The sub-images follow their page: the library writes the next directories
// as its SubIFDs, as many as the page announced, and fills in their offsets.
static int write_sub_images(TIFF *tif, const char *filename)
{
    uint64_t offsets[sub_image_count] = {0};
    ttag_t refused;
    uint16_t k;

    if (!TIFFSetField(tif, TIFFTAG_SUBIFD, sub_image_count, offsets)) {
        probe::Say("%s: page %d: can't set tag %d.", filename, subifd_page, TIFFTAG_SUBIFD);
        return 1;
    }
    if (write_page(tif, filename, subifd_page))
        return 1;
    for (k = 0; k < sub_image_count; k++) {
        const SubImage &s = sub_images[k];
        refused = set_image(tif, s.width, s.length);
        if (!refused && !TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE))
            refused = TIFFTAG_SUBFILETYPE;
        if (refused) {
            probe::Say("%s: SubIFD %u: can't set tag %lu.", filename, k,
                       static_cast<unsigned long>(refused));
            return 1;
        }
        if (!write_pixels(tif, s.width, s.length, s.first_pixel)) {
            probe::Say("%s: SubIFD %u: can't write image data.", filename, k);
            return 1;
        }
        if (!TIFFWriteDirectory(tif)) {
            probe::Say("%s: SubIFD %u: can't write the directory.", filename, k);
            return 1;
        }
    }
    return 0;
}

static int write_pages(const DirectoryLayout &layout)
{
    uint64_t offsets[custom_count] = {0};
    const probe::Tiff tif = probe::Create(layout.filename, layout.mode);

    if (!tif)
        return 1;
    for (size_t i = 0; i < custom_count; i++) {
        if (write_custom(tif, layout.filename, custom_directories[i], &offsets[i]))
            return 1;
    }
    // Back from the custom directories to an image directory.
    if (TIFFCreateDirectory(tif) != 0) {
        probe::Say("%s: page %d: can't create the directory.", layout.filename, custom_page);
        return 1;
    }
    for (size_t i = 0; i < custom_count; i++) {
        if (!TIFFSetField(tif, custom_directories[i].link, offsets[i])) {
            probe::Say("%s: page %d: can't set tag %lu.", layout.filename, custom_page,
                       static_cast<unsigned long>(custom_directories[i].link));
            return 1;
        }
    }
    for (int id = 0; id < original_pages; id++) {
        if (id == subifd_page ? write_sub_images(tif, layout.filename)
                              : write_page(tif, layout.filename, id))
            return 1;
    }
    return 0;
}

static int rewrite_page(const DirectoryLayout &layout)
{
    // The header only: page 0 is not needed, page 2 is read by the jump.
    const probe::Tiff tif = probe::Reopen(layout.filename, "r+h");

    if (!tif)
        return 1;
    if (!TIFFSetDirectory(tif, rewritten_page)) {
        probe::Say("%s: page %d: can't go to the page.", layout.filename, rewritten_page);
        return 1;
    }
    if (!TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, rewritten_description)) {
        probe::Say("%s: page %d: can't set tag %d.", layout.filename, rewritten_page,
                   TIFFTAG_IMAGEDESCRIPTION);
        return 1;
    }
    if (!TIFFSetField(tif, TIFFTAG_SOFTWARE, rewritten_software)) {
        probe::Say("%s: page %d: can't set tag %d.", layout.filename, rewritten_page,
                   TIFFTAG_SOFTWARE);
        return 1;
    }
    // The directory has grown, so it cannot stay where it is: the library
    // moves it to the end of the file and relinks it in its place.
    if (!TIFFRewriteDirectory(tif)) {
        probe::Say("%s: page %d: can't rewrite the directory.", layout.filename, rewritten_page);
        return 1;
    }
    return 0;
}

static int append_page(const DirectoryLayout &layout)
{
    const probe::Tiff tif = probe::Reopen(layout.filename, "a");

    return !tif || write_page(tif, layout.filename, original_pages);
}

// Removes page 1; the library counts the pages to unlink from 1.
static int remove_page(const DirectoryLayout &layout)
{
    // The header only: unlinking follows the chain's links, no page's fields.
    const probe::Tiff tif = probe::Reopen(layout.filename, "r+h");

    if (!tif)
        return 1;
    if (!TIFFUnlinkDirectory(tif, 2)) {
        probe::Say("%s: page 1: can't unlink the directory.", layout.filename);
        return 1;
    }
    return 0;
}

// Reads the one strip of the current image and compares every pixel.
static int check_pixels(TIFF *tif, const char *filename, const char *what, uint32_t image_width,
                        uint32_t image_length, uint8_t first)
{
    uint8_t buf[width * length];
    const uint32_t size = image_width * image_length;
    uint32_t i;

    if (TIFFReadEncodedStrip(tif, 0, buf, size) != static_cast<tmsize_t>(size)) {
        probe::Say("%s: %s: can't read image data.", filename, what);
        return 1;
    }
    for (i = 0; i < size; i++) {
        if (buf[i] != static_cast<uint8_t>(first + i)) {
            probe::Say("%s: %s: pixel %u is %u instead of %u.", filename, what, i, buf[i],
                       static_cast<uint8_t>(first + i));
            return 1;
        }
    }
    return 0;
}

// Checks the current directory, read as page `k`, against original page `id`.
static int check_page(TIFF *tif, const char *filename, int k, int id, bool rewritten)
{
    const bool changed = rewritten && id == rewritten_page;
    const char *expect = changed ? rewritten_description : descriptions[id];
    const uint16_t total = id < original_pages ? original_pages : max_pages;
    char *text = nullptr;
    uint16_t number = 0;
    uint16_t of = 0;
    char what[16];

    snprintf(what, sizeof(what), "page %d", k);
    if (!TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) || !text) {
        probe::Say("%s: %s: no description.", filename, what);
        return 1;
    }
    if (strcmp(text, expect) != 0) {
        probe::Say("%s: %s: description \"%s\" instead of \"%s\".", filename, what, text, expect);
        return 1;
    }
    if (!TIFFGetField(tif, TIFFTAG_PAGENUMBER, &number, &of)) {
        probe::Say("%s: %s: no page number.", filename, what);
        return 1;
    }
    if (number != id || of != total) {
        probe::Say("%s: %s: page number %u/%u instead of %d/%u.", filename, what, number, of, id,
                   total);
        return 1;
    }
    text = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_SOFTWARE, &text) || !text) {
        if (changed) {
            probe::Say("%s: %s: no Software field.", filename, what);
            return 1;
        }
    } else if (!changed || strcmp(text, rewritten_software) != 0) {
        probe::Say("%s: %s: Software \"%s\" instead of %s.", filename, what, text,
                   changed ? "\"directory_probe\"" : "none");
        return 1;
    }
    return check_pixels(tif, filename, what, width, length, first_pixel(id));
}

// The offsets that pages link: the EXIF and GPS directories of page 0 and
// the SubIFDs of the page that has them. They are fetched while the walk
// stands on those pages, so no page is read twice for them.
struct Links {
    uint64_t custom[custom_count];
    uint64_t sub[sub_image_count];
};

static int fetch_custom_links(TIFF *tif, const char *filename, Links *links)
{
    for (size_t i = 0; i < custom_count; i++) {
        const CustomDirectory &d = custom_directories[i];
        links->custom[i] = 0;
        if (!TIFFGetField(tif, d.link, &links->custom[i])) {
            probe::Say("%s: %s: can't fetch tag %lu.", filename, d.name,
                       static_cast<unsigned long>(d.link));
            return 1;
        }
    }
    return 0;
}

static int fetch_sub_links(TIFF *tif, const char *filename, int k, Links *links)
{
    uint16_t count = 0;
    uint64_t *listed = nullptr;

    if (!TIFFGetField(tif, TIFFTAG_SUBIFD, &count, &listed) || !listed) {
        probe::Say("%s: page %d: can't fetch tag %d.", filename, k, TIFFTAG_SUBIFD);
        return 1;
    }
    if (count != sub_image_count) {
        probe::Say("%s: page %d: %u SubIFDs instead of %u.", filename, k, count, sub_image_count);
        return 1;
    }
    // The list belongs to the page, which the next read replaces.
    memcpy(links->sub, listed, sizeof(links->sub));
    return 0;
}

// The pages in random order through TIFFSetDirectory, ending on page 0,
// then all of them in file order through TIFFReadDirectory, which must stop
// after the last.
static int check_pages(TIFF *tif, const char *filename, const Expected &e, Links *links)
{
    const int jumps[] = {3, 2, 0};
    int k;

    for (const int j : jumps) {
        if (!TIFFSetDirectory(tif, static_cast<tdir_t>(j))) {
            probe::Say("%s: page %d: can't go to the page.", filename, j);
            return 1;
        }
        if (TIFFCurrentDirectory(tif) != static_cast<tdir_t>(j)) {
            probe::Say("%s: page %d: TIFFCurrentDirectory says %u.", filename, j,
                       static_cast<unsigned>(TIFFCurrentDirectory(tif)));
            return 1;
        }
        if (check_page(tif, filename, j, e.ids[j], e.rewritten))
            return 1;
    }
    for (k = 0;; k++) {
        if (k == e.pages) {
            probe::Say("%s: expected %d pages, TIFFReadDirectory walks more.", filename, e.pages);
            return 1;
        }
        if (TIFFCurrentDirectory(tif) != static_cast<tdir_t>(k)) {
            probe::Say("%s: page %d: TIFFCurrentDirectory says %u.", filename, k,
                       static_cast<unsigned>(TIFFCurrentDirectory(tif)));
            return 1;
        }
        if (check_page(tif, filename, k, e.ids[k], e.rewritten) ||
            (k == custom_page && fetch_custom_links(tif, filename, links)) ||
            (e.ids[k] == subifd_page && fetch_sub_links(tif, filename, k, links)))
            return 1;
        const bool last = TIFFLastDirectory(tif) != 0;
        if (last != (k + 1 == e.pages)) {
            probe::Say("%s: page %d: TIFFLastDirectory says %d.", filename, k,
                       TIFFLastDirectory(tif));
            return 1;
        }
        if (!TIFFReadDirectory(tif))
            break;
    }
    if (k + 1 != e.pages) {
        probe::Say("%s: expected %d pages, TIFFReadDirectory walks %d.", filename, e.pages, k + 1);
        return 1;
    }
    return 0;
}

static int compare_numbers(const char *filename, const char *what, const char *where, const Tag &t,
                           const double *got)
{
    int i;

    for (i = 0; i < t.count; i++) {
        if (got[i] != t.numbers[i]) {
            probe::Say("%s: %s: tag %lu%s: value %d is %.9g instead of %.9g.", filename, what,
                       static_cast<unsigned long>(t.tag), where, i, got[i], t.numbers[i]);
            return 1;
        }
    }
    return 0;
}

static int compare_bytes(const char *filename, const char *what, const char *where, const Tag &t,
                         const uint8_t *got)
{
    int i;

    for (i = 0; i < t.count; i++) {
        if (got[i] != static_cast<uint8_t>(t.bytes[i])) {
            probe::Say("%s: %s: tag %lu%s: byte %d is 0x%02x instead of 0x%02x.", filename, what,
                       static_cast<unsigned long>(t.tag), where, i, got[i],
                       static_cast<uint8_t>(t.bytes[i]));
            return 1;
        }
    }
    return 0;
}

// Fetches one field of a custom directory in the form the library's field
// information gives it: SHORT arrays with their count, ExposureTime as a
// float, GPSLatitude as an array of doubles, the rest as bytes.
static int check_tag(TIFF *tif, const char *filename, const char *what, const Tag &t)
{
    uint16_t count = t.count;
    uint16_t *shorts = nullptr;
    float single = 0;
    double *rationals = nullptr;
    char *text = nullptr;
    double got[3] = {0, 0, 0};
    int fetched;
    int i;

    if (t.type == TIFF_SHORT)
        fetched = TIFFGetField(tif, t.tag, &count, &shorts) && shorts;
    else if (t.type == TIFF_RATIONAL && t.count == 1)
        fetched = TIFFGetField(tif, t.tag, &single);
    else if (t.type == TIFF_RATIONAL)
        fetched = TIFFGetField(tif, t.tag, &rationals) && rationals;
    else
        fetched = TIFFGetField(tif, t.tag, &text) && text;
    if (!fetched) {
        probe::Say("%s: %s: can't fetch tag %lu.", filename, what,
                   static_cast<unsigned long>(t.tag));
        return 1;
    }
    if (count != t.count) {
        probe::Say("%s: %s: tag %lu: %u values instead of %u.", filename, what,
                   static_cast<unsigned long>(t.tag), count, t.count);
        return 1;
    }
    if (t.type == TIFF_ASCII && strcmp(text, t.bytes) != 0) {
        probe::Say("%s: %s: tag %lu: \"%s\" instead of \"%s\".", filename, what,
                   static_cast<unsigned long>(t.tag), text, t.bytes);
        return 1;
    }
    if (t.type == TIFF_ASCII)
        return 0;
    if (text)
        return compare_bytes(filename, what, "", t, reinterpret_cast<uint8_t *>(text));
    for (i = 0; i < t.count; i++)
        got[i] = shorts ? shorts[i] : rationals ? rationals[i] : single;
    return compare_numbers(filename, what, "", t, got);
}

// Reads the EXIF and GPS directories that page 0 links.
static int check_custom(TIFF *tif, const char *filename, const Links &links)
{
    for (size_t i = 0; i < custom_count; i++) {
        const CustomDirectory &d = custom_directories[i];
        if (!d.read(tif, links.custom[i])) {
            probe::Say("%s: %s: can't read the directory.", filename, d.name);
            return 1;
        }
        for (size_t k = 0; k < d.count; k++) {
            if (check_tag(tif, filename, d.name, d.tags[k]))
                return 1;
        }
    }
    return 0;
}

static int check_sub_images(TIFF *tif, const char *filename, const Links &links)
{
    uint32_t value;
    char what[16];

    for (uint16_t i = 0; i < sub_image_count; i++) {
        const SubImage &s = sub_images[i];
        snprintf(what, sizeof(what), "SubIFD %u", i);
        if (!TIFFSetSubDirectory(tif, links.sub[i])) {
            probe::Say("%s: %s: can't go to the IFD at %" PRIu64 ".", filename, what, links.sub[i]);
            return 1;
        }
        value = 0;
        if (!TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &value) || value != FILETYPE_REDUCEDIMAGE) {
            probe::Say("%s: %s: NewSubfileType %u instead of %d.", filename, what, value,
                       FILETYPE_REDUCEDIMAGE);
            return 1;
        }
        value = 0;
        if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &value) || value != s.width) {
            probe::Say("%s: %s: ImageWidth %u instead of %u.", filename, what, value, s.width);
            return 1;
        }
        value = 0;
        if (!TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &value) || value != s.length) {
            probe::Say("%s: %s: ImageLength %u instead of %u.", filename, what, value, s.length);
            return 1;
        }
        if (check_pixels(tif, filename, what, s.width, s.length, s.first_pixel))
            return 1;
    }
    return 0;
}

static int index_of(const Expected &e, int id)
{
    int k;

    for (k = 0; k < e.pages && e.ids[k] != id; k++) {
    }
    return k;
}

// Everything the library can tell about the file after a step. The pages are
// counted again at the end: visiting the SubIFDs must not add to the chain.
static int check_library(const DirectoryLayout &layout, const Expected &e)
{
    // The header only: the first jump reads the first page it needs, so no
    // page is read for nothing.
    const probe::Tiff tif = probe::Reopen(layout.filename, "rh");
    Links links;

    if (!tif)
        return 1;
    for (int pass = 0; pass < 2; pass++) {
        const tdir_t count = TIFFNumberOfDirectories(tif);
        if (count != static_cast<tdir_t>(e.pages)) {
            probe::Say("%s: expected %d pages, the library counts %u.", layout.filename, e.pages,
                       static_cast<unsigned>(count));
            return 1;
        }
        if (pass == 0 && (check_pages(tif, layout.filename, e, &links) ||
                          check_custom(tif, layout.filename, links) ||
                          check_sub_images(tif, layout.filename, links)))
            return 1;
    }
    return 0;
}

// The linked IFD at `offset`, as the whole-file reading found it, with its
// tags ascending.
static const ifd::Directory *linked_ifd(const ifd::File &file, const char *filename,
                                        uint64_t offset)
{
    const ifd::Directory *dir = file.Find(offset);
    if (!dir) {
        probe::Say("%s: IFD at %" PRIu64 ": not read.", filename, offset);
        return nullptr;
    }
    return probe::TagsAscending(*dir, filename) ? dir : nullptr;
}

static const char *format_name(bool big_endian, bool bigtiff)
{
    if (big_endian)
        return bigtiff ? "big-endian BigTIFF" : "big-endian classic TIFF";
    return bigtiff ? "little-endian BigTIFF" : "little-endian classic TIFF";
}

// The offsets in a field of type LONG or IFD, or in BigTIFF also LONG8 or IFD8,
// that links other IFDs.
static int read_links(const ifd::Directory &dir, bool bigtiff, const char *filename,
                      const char *what, ttag_t tag, uint64_t count, const uint64_t **offsets)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, tag);

    if (!entry) {
        probe::Say("%s: %s: no tag %lu in the IFD at %" PRIu64 ".", filename, what,
                   static_cast<unsigned long>(tag), dir.offset);
        return 1;
    }
    // LONG8 and IFD8 exist only in BigTIFF.
    const bool wide = entry->type == ifd::LONG8 || entry->type == ifd::IFD8;
    if ((entry->type != ifd::LONG && entry->type != ifd::IFD && !(wide && bigtiff)) ||
        entry->count != count) {
        probe::Say("%s: %s: tag %lu on disk: %s[%" PRIu64 "] instead of %" PRIu64 " offsets.",
                   filename, what, static_cast<unsigned long>(tag), ifd::TypeName(entry->type),
                   entry->count, count);
        return 1;
    }
    *offsets = entry->values.data();
    return 0;
}

static int check_tag_on_disk(const ifd::Directory &dir, const char *filename, const char *what,
                             const Tag &t)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, t.tag);
    const size_t elements = t.type == TIFF_RATIONAL ? 2 : 1;
    double numbers[3];
    size_t i;

    if (!entry) {
        probe::Say("%s: %s: no tag %lu in the IFD at %" PRIu64 ".", filename, what,
                   static_cast<unsigned long>(t.tag), dir.offset);
        return 1;
    }
    if (entry->type != t.type || entry->count != t.count ||
        entry->values.size() != t.count * elements) {
        probe::Say("%s: %s: tag %lu on disk: %s[%" PRIu64 "] instead of %s[%u].", filename, what,
                   static_cast<unsigned long>(t.tag), ifd::TypeName(entry->type), entry->count,
                   ifd::TypeName(static_cast<uint16_t>(t.type)), t.count);
        return 1;
    }
    if (t.bytes) {
        uint8_t bytes[32]; // the longest value here is DateTimeOriginal's 20
        for (i = 0; i < t.count; i++)
            bytes[i] = static_cast<uint8_t>(entry->values[i]);
        return compare_bytes(filename, what, " on disk", t, bytes);
    }
    for (i = 0; i < t.count; i++)
        numbers[i] = probe::Number(*entry, i);
    return compare_numbers(filename, what, " on disk", t, numbers);
}

static int check_number_on_disk(const ifd::Directory &dir, const char *filename, const char *what,
                                ttag_t tag, uint64_t expect)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, tag);

    if (!entry || entry->count != 1 || entry->values.size() != 1 || entry->values[0] != expect) {
        probe::Say("%s: %s: tag %lu on disk is not %" PRIu64 ".", filename, what,
                   static_cast<unsigned long>(tag), expect);
        return 1;
    }
    return 0;
}

static int check_description_on_disk(const ifd::Directory &dir, const char *filename,
                                     const char *expect)
{
    const ifd::Entry *entry = ifd::FindEntry(dir, TIFFTAG_IMAGEDESCRIPTION);
    char text[80] = "";
    size_t i;

    for (i = 0; entry && i < entry->values.size() && i + 1 < sizeof(text); i++)
        text[i] = static_cast<char>(entry->values[i]);
    text[i] = '\0';
    if (!entry || entry->type != ifd::ASCII || entry->count != strlen(expect) + 1 ||
        strcmp(text, expect) != 0) {
        probe::Say("%s: IFD at %" PRIu64 ": description \"%s\" instead of \"%s\".", filename,
                   dir.offset, text, expect);
        return 1;
    }
    return 0;
}

// The EXIF and GPS directories that page 0 links, and the SubIFDs of page 3.
static int check_linked_on_disk(const ifd::File &file, const char *filename, const Expected &e)
{
    const std::vector<ifd::Directory> &chain = file.chain;
    const ifd::Directory *dir;
    const uint64_t *offsets;
    char what[16];

    for (const CustomDirectory &d : custom_directories) {
        if (read_links(chain[custom_page], file.header.bigtiff, filename, d.name, d.link, 1,
                       &offsets) ||
            !(dir = linked_ifd(file, filename, offsets[0])))
            return 1;
        for (size_t k = 0; k < d.count; k++) {
            if (check_tag_on_disk(*dir, filename, d.name, d.tags[k]))
                return 1;
        }
    }
    snprintf(what, sizeof(what), "page %d", index_of(e, subifd_page));
    if (read_links(chain[index_of(e, subifd_page)], file.header.bigtiff, filename, what,
                   TIFFTAG_SUBIFD, sub_image_count, &offsets))
        return 1;
    for (size_t i = 0; i < sub_image_count; i++) {
        snprintf(what, sizeof(what), "SubIFD %zu", i);
        if (!(dir = linked_ifd(file, filename, offsets[i])) ||
            check_number_on_disk(*dir, filename, what, TIFFTAG_SUBFILETYPE,
                                 FILETYPE_REDUCEDIMAGE) ||
            check_number_on_disk(*dir, filename, what, TIFFTAG_IMAGEWIDTH, sub_images[i].width) ||
            check_number_on_disk(*dir, filename, what, TIFFTAG_IMAGELENGTH, sub_images[i].length))
            return 1;
    }
    return 0;
}

// The file as its bytes say, without the library: the main chain holds
// exactly the pages expected, in order, with no loop, and everything linked
// from them is where the links say.
static int check_disk(const DirectoryLayout &layout, const Expected &e)
{
    probe::OnDisk disk;
    const ifd::File &file = disk.file;

    if (probe::ReadOnDisk(layout.filename, &disk)) {
        probe::Say("Can't open test TIFF file %s.", layout.filename);
        return 1;
    }
    if (!file.has_header) {
        probe::Say("%s: header: %s at %" PRIu64 ".", layout.filename, file.problems[0].what.c_str(),
                   file.problems[0].offset);
        return 1;
    }
    // The library reads either; only the bytes tell whether it wrote the
    // format the mode asked for.
    const ifd::Header &header = file.header;
    if (header.big_endian != layout.big_endian || header.bigtiff != layout.bigtiff) {
        probe::Say("%s: header: %s instead of %s.", layout.filename,
                   format_name(header.big_endian, header.bigtiff),
                   format_name(layout.big_endian, layout.bigtiff));
        return 1;
    }
    if (!probe::NoProblems(layout.filename, file))
        return 1;
    if (file.chain.size() != static_cast<size_t>(e.pages)) {
        probe::Say("%s: expected %d pages, the file holds %zu.", layout.filename, e.pages,
                   file.chain.size());
        return 1;
    }
    for (int k = 0; k < e.pages; k++) {
        const int id = e.ids[k];
        if (!probe::TagsAscending(file.chain[k], layout.filename) ||
            check_description_on_disk(file.chain[k], layout.filename,
                                      e.rewritten && id == rewritten_page ? rewritten_description
                                                                          : descriptions[id]))
            return 1;
    }
    return check_linked_on_disk(file, layout.filename, e);
}

struct Step {
    int (*change)(const DirectoryLayout &layout);
    Expected expected;
};

// Each step changes the file and states what it must hold afterwards.
constexpr Step steps[] = {
    {write_pages, {4, {0, 1, 2, 3, 0}, false}},
    {rewrite_page, {4, {0, 1, 2, 3, 0}, true}},
    {append_page, {5, {0, 1, 2, 3, 4}, true}},
    {remove_page, {4, {0, 2, 3, 4, 0}, true}},
};

static int run_layout(const DirectoryLayout &layout)
{
    for (const Step &step : steps) {
        const unsigned long messages = LibraryMessages();
        // A healthy library says nothing during any of this. On a failure
        // the file stays behind for inspection.
        if (step.change(layout) || check_library(layout, step.expected) ||
            check_disk(layout, step.expected) || !probe::LibraryQuiet(layout.filename, messages))
            return 1;
    }
    unlink(layout.filename);
    return 0;
}

int main()
{
    int failure = 0;
    size_t i;

    CountLibraryMessages();
    // Both layouts run, whatever the first returned.
    for (i = 0; i < sizeof(layouts) / sizeof(layouts[0]); i++)
        failure |= run_layout(layouts[i]);
    return failure;
}
