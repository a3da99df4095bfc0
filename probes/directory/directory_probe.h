// What directory_probe's sources share: the pages' places, the custom
// directories, what the file holds after a step, and the routines each part
// offers the others.
#ifndef TIFF_PROBES_DIRECTORY_PROBE_H
#define TIFF_PROBES_DIRECTORY_PROBE_H

#include <cstddef>
#include <cstdint>

#include <tiffio.h>

#include "directory_values.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace dirs {

using probe::Layout;

// Page 0 links the EXIF and GPS directories, page 3 the sub-images.
inline constexpr int custom_page = 0;
inline constexpr int subifd_page = 3;
// Page 2 after its rewrite: a longer description and a field it never had.
inline constexpr int rewritten_page = 2;

inline constexpr uint16_t sub_image_count = sizeof(sub_images) / sizeof(sub_images[0]);

struct CustomDirectory {
    const char *name;
    ttag_t link; // the page's field that holds the directory's offset
    int (*create)(TIFF *);
    int (*read)(TIFF *, toff_t);
    const Tag *tags;
    size_t count;
};

inline const CustomDirectory custom_directories[] = {
    {"EXIF IFD", TIFFTAG_EXIFIFD, TIFFCreateEXIFDirectory, TIFFReadEXIFDirectory, exif_tags,
     sizeof(exif_tags) / sizeof(exif_tags[0])},
    {"GPS IFD", TIFFTAG_GPSIFD, TIFFCreateGPSDirectory, TIFFReadGPSDirectory, gps_tags,
     sizeof(gps_tags) / sizeof(gps_tags[0])},
};
inline constexpr size_t custom_count = sizeof(custom_directories) / sizeof(custom_directories[0]);

// What the file holds after a step: the original page at each index.
struct Expected {
    int pages;
    int ids[max_pages];
    bool rewritten; // page 2 carries its new description and field
};

// The offsets that pages link: the EXIF and GPS directories of page 0 and
// the SubIFDs of the page that has them. They are fetched while the walk
// stands on those pages, so no page is read twice for them.
struct Links {
    uint64_t custom[custom_count];
    uint64_t sub[sub_image_count];
};

// directory_write.cpp
uint8_t FirstPixel(int id);
std::string SubPlace(size_t k);
bool WritePages(const Layout &layout);
bool RewritePage(const Layout &layout);
bool AppendPage(const Layout &layout);
bool RemovePage(const Layout &layout);

// directory_library.cpp
int IndexOf(const Expected &e, int id);
bool CheckLibrary(const Layout &layout, const Expected &e);

} // namespace dirs

#endif
