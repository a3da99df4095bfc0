// directory_probe's values, shared with the test that holds them to the
// value rule (docs/contributing.md, "A field row"): one home for each table.
#ifndef TIFF_PROBES_DIRECTORY_VALUES_H
#define TIFF_PROBES_DIRECTORY_VALUES_H

#include <cstdint>

#include <tiffio.h>

namespace dirs {

// Every page is one strip of 12 x 8 pixels of one 8-bit sample; pixel i of a
// page is its first pixel + i, so no two pages or sub-images look alike.
// Width and length differ, so a library that swaps them shows.
inline constexpr uint32_t width = 12;
inline constexpr uint32_t length = 8;
inline constexpr int max_pages = 5;
// The file starts with four pages, PageNumber K/4; the appended one is 4/5.
inline constexpr int original_pages = 4;
inline constexpr const char *descriptions[max_pages] = {"page 0", "page 1", "page 2", "page 3",
                                                        "page 4"};
inline constexpr char rewritten_description[] =
    "page 2, rewritten in place with a longer description";
inline constexpr char rewritten_software[] = "directory_probe of tiff-probes";

struct SubImage {
    uint32_t width;
    uint32_t length;
    uint8_t first_pixel;
};

// The reduced-resolution images of page 3, half and quarter size.
inline constexpr SubImage sub_images[] = {
    {6, 4, 200},
    {3, 2, 220},
};

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
// 51200 fills a SHORT, so a value narrowed to a byte shows.
inline constexpr Tag exif_tags[] = {
    {EXIFTAG_EXPOSURETIME, TIFF_RATIONAL, 1, nullptr, {0.0078125, 0, 0}},
    {EXIFTAG_ISOSPEEDRATINGS, TIFF_SHORT, 3, nullptr, {100, 800, 51200}},
    {EXIFTAG_EXIFVERSION, TIFF_UNDEFINED, 4, "0231", {0, 0, 0}},
    {EXIFTAG_DATETIMEORIGINAL, TIFF_ASCII, 20, "2026:12:08 07:00:00", {0, 0, 0}},
};

inline constexpr Tag gps_tags[] = {
    {GPSTAG_VERSIONID, TIFF_BYTE, 4, "\2\2\0\0", {0, 0, 0}},
    {GPSTAG_LATITUDEREF, TIFF_ASCII, 2, "N", {0, 0, 0}},
    {GPSTAG_LATITUDE, TIFF_RATIONAL, 3, nullptr, {48, 8, 30.5}},
};

} // namespace dirs

#endif
