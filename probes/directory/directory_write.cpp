// The steps that change the file: its pages written, one rewritten, one
// appended, one removed, with their EXIF, GPS and sub-image directories.
#include <cstdint>
#include <string>

#include <tiffio.h>

#include "directory_probe.h"

namespace dirs {

struct ImageField {
    ttag_t tag;
    uint32_t value;
};

uint8_t FirstPixel(int id)
{
    return static_cast<uint8_t>(1 + 40 * id);
}

// "SubIFD K", the place of a line about a sub-image.
std::string SubPlace(size_t k)
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

bool WritePages(const Layout &layout)
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

bool RewritePage(const Layout &layout)
{
    // The header only: page 0 is not needed, page 2 is read by the jump.
    const probe::Tiff tif = probe::Reopen(layout.filename, "r+h");

    if (!tif)
        return false;
    if (!TIFFSetDirectory(tif, rewritten_page)) {
        probe::SayCantDirectory("read", layout.filename, probe::Page(rewritten_page).c_str());
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

bool AppendPage(const Layout &layout)
{
    const probe::Tiff tif = probe::Reopen(layout.filename, "a");

    return tif && WritePage(tif, layout.filename, original_pages);
}

// Removes page 1; the library counts the pages to unlink from 1.
bool RemovePage(const Layout &layout)
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

} // namespace dirs
