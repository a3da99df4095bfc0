// Proves that the TIFF library walks, rewrites, extends and shortens a
// multi-page file, and writes and reads EXIF, GPS and sub-image directories,
// in a little-endian classic TIFF and a big-endian BigTIFF file. After every
// step the file is read twice: through the library, and by ifd_reader, which
// walks the IFD chain from the bytes: a library that appends where it should
// rewrite may well read its own mistake back without a complaint.
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "directory_probe.h"

namespace dirs {

constexpr Layout layouts[] = {
    {"pages_le.tif", false, false},
    {"pages_be.btf", true, true},
};

static const ifd::Directory *LinkedIfd(const ifd::File &file, const char *filename, uint64_t offset)
{
    const ifd::Directory *dir = file.Find(offset);
    if (!dir) {
        probe::Say<probe::Line::IfdNotRead>(filename, offset);
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
    // The first wrong byte or value named, the rest counted: a known defect
    // in one value hides no other.
    unsigned long wrong = 0;
    size_t last = 0;
    for (size_t i = 0; i < t.count; i++) {
        if (t.bytes ? entry->values[i] == static_cast<uint8_t>(t.bytes[i])
                    : probe::Number(*entry, i) == t.numbers[i])
            continue;
        last = i;
        if (wrong++ > 0)
            continue;
        if (t.bytes && t.type == TIFF_ASCII)
            probe::SayWrongByteOnDisk(t.tag, filename, i, static_cast<unsigned>(entry->values[i]),
                                      static_cast<uint8_t>(t.bytes[i]), what);
        else if (t.bytes)
            probe::SayWrongValueOnDisk(t.tag, filename, i, entry->values[i],
                                       static_cast<uint8_t>(t.bytes[i]), what);
        else
            probe::SayWrongNumberOnDisk(t.tag, filename, i, probe::Number(*entry, i), t.numbers[i],
                                        what);
    }
    if (wrong > 1)
        probe::SayMoreOnDisk(t.tag, filename, t.type == TIFF_ASCII ? "byte" : "value", wrong - 1,
                             static_cast<unsigned long>(last), what);
    return wrong == 0;
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
    unsigned long wrong = 0;
    size_t last = 0;
    for (size_t i = 0; i < n; i++) {
        if (entry->values[i] == static_cast<uint8_t>(expect[i]))
            continue;
        if (wrong++ == 0)
            probe::SayWrongByteOnDisk(TIFFTAG_IMAGEDESCRIPTION, filename, i,
                                      static_cast<unsigned>(entry->values[i]),
                                      static_cast<uint8_t>(expect[i]), page.c_str());
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreOnDisk(TIFFTAG_IMAGEDESCRIPTION, filename, "byte", wrong - 1,
                             static_cast<unsigned long>(last), page.c_str());
    return wrong == 0;
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

} // namespace dirs

int main()
{
    CountLibraryMessages();
    return probe::RunLayouts(dirs::layouts, dirs::RunSteps);
}
