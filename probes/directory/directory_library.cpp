// The file read through the library after each step: the walk of the
// pages, their fields and the directories they link.
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <string>

#include <tiffio.h>

#include "directory_probe.h"

namespace dirs {

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
    // The first wrong byte named, the rest counted.
    unsigned long wrong = 0;
    uint32_t last = 0;
    for (i = 0; i < size; i++) {
        if (buf[i] == static_cast<uint8_t>(first + i))
            continue;
        if (wrong++ == 0)
            probe::SayWrongImageByte("strip", 0, filename, what, i, buf[i],
                                     static_cast<uint8_t>(first + i));
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreWrongBytes("strip", 0, filename, what, wrong - 1, "bytes", last);
    return wrong == 0;
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

    // Each field is checked whatever the one before gave, so that a wrong
    // field hides no other.
    bool ok = true;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) || !text) {
        probe::SayProblemFetching(TIFFTAG_IMAGEDESCRIPTION, filename, what);
        ok = false;
    } else if (strcmp(text, expect) != 0) {
        probe::SayWrongText(TIFFTAG_IMAGEDESCRIPTION, filename, text, expect, what);
        ok = false;
    }
    if (!TIFFGetField(tif, TIFFTAG_PAGENUMBER, &number, &of)) {
        probe::SayProblemFetching(TIFFTAG_PAGENUMBER, filename, what);
        ok = false;
    } else if (number != id || of != total) {
        const bool first = number != id;
        probe::SayWrongValue("SHORT", TIFFTAG_PAGENUMBER, filename, first ? 0 : 1,
                             first ? number : of, first ? id : total, what);
        if (first && of != total)
            probe::SayMoreWrongValues("SHORT", TIFFTAG_PAGENUMBER, filename, 1, 1, what);
        ok = false;
    }
    text = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_SOFTWARE, &text) || !text) {
        if (changed) {
            probe::SayProblemFetching(TIFFTAG_SOFTWARE, filename, what);
            ok = false;
        }
    } else if (!changed || strcmp(text, rewritten_software) != 0) {
        // Only the rewritten page has the field.
        probe::SayWrongText(TIFFTAG_SOFTWARE, filename, text,
                            changed ? rewritten_software : nullptr, what);
        ok = false;
    }
    return CheckPixels(tif, filename, what, width, length, FirstPixel(id)) && ok;
}

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
            probe::SayCantDirectory("read", filename, probe::Page(j).c_str());
            return false;
        }
        if (TIFFCurrentDirectory(tif) != static_cast<tdir_t>(j)) {
            probe::Say<probe::Line::CurrentSays>(filename, static_cast<unsigned>(j),
                                                 static_cast<unsigned>(TIFFCurrentDirectory(tif)));
            return false;
        }
        if (!CheckPage(tif, filename, j, e.ids[j], e.rewritten))
            return false;
    }
    for (k = 0;; k++) {
        if (k == e.pages) {
            probe::Say<probe::Line::WalksMore>(filename, static_cast<unsigned>(e.pages));
            return false;
        }
        if (TIFFCurrentDirectory(tif) != static_cast<tdir_t>(k)) {
            probe::Say<probe::Line::CurrentSays>(filename, static_cast<unsigned>(k),
                                                 static_cast<unsigned>(TIFFCurrentDirectory(tif)));
            return false;
        }
        // A page is checked more than once (jumped to, then walked): its
        // first wrong look ends the check, so that no problem is said twice.
        if (!CheckPage(tif, filename, k, e.ids[k], e.rewritten) ||
            (k == custom_page && !FetchCustomLinks(tif, filename, links)) ||
            (e.ids[k] == subifd_page && !FetchSubLinks(tif, filename, k, links)))
            return false;
        const bool last = TIFFLastDirectory(tif) != 0;
        if (last != (k + 1 == e.pages)) {
            probe::Say<probe::Line::LastSays>(filename, static_cast<unsigned>(k),
                                              TIFFLastDirectory(tif));
            return false;
        }
        if (!TIFFReadDirectory(tif))
            break;
    }
    if (k + 1 != e.pages) {
        probe::Say<probe::Line::Walks>(filename, static_cast<unsigned>(e.pages),
                                       static_cast<unsigned>(k + 1));
        return false;
    }
    return true;
}

// The values fetched against the table's: the first that differs named,
// the others counted.
static bool SameFetched(const char *filename, const char *what, const Tag &t, const double *numbers,
                        const uint8_t *bytes)
{
    const char *type = ifd::TypeName(static_cast<uint16_t>(t.type));
    unsigned long wrong = 0;
    unsigned long last = 0;

    for (int i = 0; i < t.count; i++) {
        const bool same = bytes ? bytes[i] == static_cast<uint8_t>(t.bytes[i])
                                : numbers && numbers[i] == t.numbers[i];
        if (same)
            continue;
        if (wrong++ == 0) {
            if (bytes)
                probe::SayWrongValue(type, t.tag, filename, i, bytes[i],
                                     static_cast<uint8_t>(t.bytes[i]), what);
            else if (numbers)
                probe::SayWrongNumber(type, t.tag, filename, i, numbers[i], t.numbers[i], what);
        }
        last = static_cast<unsigned long>(i);
    }
    if (wrong > 1)
        probe::SayMoreWrongValues(type, t.tag, filename, wrong - 1, last, what);
    return wrong == 0;
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
    bool ok = true;
    for (size_t i = 0; i < custom_count; i++) {
        const CustomDirectory &d = custom_directories[i];
        if (!d.read(tif, links.custom[i])) {
            probe::SayCantDirectory("read", filename, d.name);
            return false;
        }
        // Every field checked, so that a wrong one hides no other.
        for (size_t k = 0; k < d.count; k++) {
            if (!CheckTag(tif, filename, d.name, d.tags[k]))
                ok = false;
        }
    }
    return ok;
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
            probe::Say<probe::Line::CantGoToIfd>(filename, what, links.sub[i]);
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

int IndexOf(const Expected &e, int id)
{
    int k;

    for (k = 0; k < e.pages && e.ids[k] != id; k++) {
    }
    return k;
}

// Everything the library can tell about the file after a step. The pages are
// counted again at the end: visiting the SubIFDs must not add to the chain.
bool CheckLibrary(const Layout &layout, const Expected &e)
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
            probe::Say<probe::Line::LibraryCounts>(layout.filename, static_cast<unsigned>(e.pages),
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

} // namespace dirs
