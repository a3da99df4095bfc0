// field_probe's own tables beside the standards' table of fields: the
// pages it writes, the defaults it asks for, the fields it unsets and
// overwrites, and the private fields of page 0.
#ifndef TIFF_PROBES_FIELD_PAGES_H
#define TIFF_PROBES_FIELD_PAGES_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include <tiffio.h>

#include "field_table.h"
#include "tags.h"

namespace fields {

using field::Home;

// A page's image. A zero BitsPerSample, SamplesPerPixel, Compression or
// PlanarConfiguration is left unset, so that its default can be asked for.
struct Shape {
    Home home;
    uint32_t width;
    uint32_t length;
    uint16_t bits;
    uint16_t samples;
    uint16_t photometric;
    uint16_t compression;
    uint16_t planar;
    uint32_t rows; // RowsPerStrip, 0 for tiles
    uint32_t tile; // tile width and length, 0 for strips
};

// The pages, in file order. The palette image is wider than a SHORT holds;
// page 0 too, so that ActiveArea and MaskedAreas lie inside it with values
// no SHORT holds, and it leaves RowsPerStrip unset: its StripRowCounts
// replaces it. The fax page is as long, so that BadFaxLines counts its lines
// with such values.
// Not constant: a page whose codec the library lacks is written
// uncompressed (probe::CodecOrNone, in main).
inline Shape shapes[] = {
    {Home::Main, 70001, 5, 8, 4, PHOTOMETRIC_SEPARATED, COMPRESSION_LZW, PLANARCONFIG_CONTIG, 0, 0},
    {Home::Palette, 70000, 1, 4, 0, PHOTOMETRIC_PALETTE, 0, 0, 1, 0},
    {Home::YCbCr, 4, 2, 8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, PLANARCONFIG_CONTIG, 2, 0},
    {Home::Float, 16, 16, 64, 2, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE,
     PLANARCONFIG_SEPARATE, 0, 16},
    {Home::Fax3, 8, 70003, 0, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3, PLANARCONFIG_CONTIG,
     70003, 0},
    {Home::Fax4, 8, 2, 0, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, PLANARCONFIG_CONTIG, 2,
     0},
};
inline constexpr size_t page_count = sizeof(shapes) / sizeof(shapes[0]);
// Each page's Compression as the table gives it.
inline uint16_t wanted_compression[page_count];
// The page whose fields go through TIFFVSetField, and the one whose fields
// come back through TIFFVGetField as well.
inline constexpr Home vset_home = Home::YCbCr;
inline constexpr Home vget_home = Home::Main;

// What TIFF 6.0 (and TIFF-FX for Indexed) gives a field that a page does not
// hold; the palette page has 4 bits per sample. Predictor is asked for on
// page 0 once its Compression is set and before its Predictor is: the
// field exists only with a codec that predicts. The YCbCr page's
// ReferenceBlackWhite likewise before its image is written: the JPEG codec
// then writes one of its own. Its default is TIFF 6.0's for every page, and
// the JPEG technical note 2's recommendation for YCbCr: a library may
// follow either.
// NOLINTNEXTLINE(clang-analyzer-optin.performance.Padding): a row reads best tag first
struct Default {
    uint16_t tag;
    Home home;
    std::initializer_list<double> values;
    bool before_fields = false;
    std::initializer_list<double> also = {}; // another standard's default
};

inline const Default defaults[] = {
    {ifd::tag::NewSubfileType, Home::Palette, {0}},
    {ifd::tag::BitsPerSample, Home::Fax3, {1}},
    {ifd::tag::Compression, Home::Palette, {1}},
    {ifd::tag::Threshholding, Home::Palette, {1}},
    {ifd::tag::FillOrder, Home::Palette, {1}},
    {ifd::tag::Orientation, Home::Palette, {1}},
    {ifd::tag::SamplesPerPixel, Home::Palette, {1}},
    {ifd::tag::MinSampleValue, Home::Palette, {0}},
    {ifd::tag::MaxSampleValue, Home::Palette, {15}},
    {ifd::tag::PlanarConfiguration, Home::Palette, {1}},
    {ifd::tag::GrayResponseUnit, Home::Palette, {2}},
    {ifd::tag::ResolutionUnit, Home::Palette, {2}},
    {ifd::tag::Predictor, Home::Main, {1}, true},
    {ifd::tag::InkSet, Home::Palette, {1}},
    {ifd::tag::NumberOfInks, Home::Palette, {4}},
    {ifd::tag::DotRange, Home::Palette, {0, 15}},
    {ifd::tag::SampleFormat, Home::Palette, {1}},
    {ifd::tag::SMinSampleValue, Home::Palette, {0}},
    {ifd::tag::SMaxSampleValue, Home::Palette, {15}},
    {ifd::tag::Indexed, Home::YCbCr, {0}},
    {ifd::tag::YCbCrCoefficients, Home::Palette, {0.299, 0.587, 0.114}},
    {ifd::tag::YCbCrSubSampling, Home::Palette, {2, 2}},
    {ifd::tag::YCbCrPositioning, Home::Palette, {1}},
    {ifd::tag::ReferenceBlackWhite, Home::Palette, {0, 15, 0, 15, 0, 15}},
    {ifd::tag::ReferenceBlackWhite,
     Home::YCbCr,
     {0, 255, 0, 255, 0, 255},
     true,
     {0, 255, 128, 255, 128, 255}},
};

// Fields set on the palette page and unset again before it is written.
struct Unset {
    uint16_t tag;
    std::initializer_list<double> values;
    const char *text;
};
inline const Unset unsets[] = {
    {ifd::tag::Artist, {}, "gone"},
    {ifd::tag::XPosition, {9.5}, nullptr},
    {ifd::tag::PrimaryChromaticities, {0.5, 0.5, 0.25, 0.25, 0.125, 0.125}, nullptr},
    {ifd::tag::InterColorProfile, {1, 2, 3}, nullptr},
};
inline constexpr Home unset_home = Home::Palette;

// Values set first and then replaced by the table's on page 0: the last
// one must stand.
inline const Unset overwritten[] = {
    {ifd::tag::Software, {}, "an earlier Software"},
    {ifd::tag::XResolution, {1.0}, nullptr},
    {ifd::tag::WhitePoint, {0.5, 0.5}, nullptr},
    {ifd::tag::InterColorProfile, {1, 2, 3}, nullptr},
};

// Private fields, registered by a tag extender, that page 0 holds: the tag
// list of page 0 must name each once.
inline const uint32_t private_long_tag = 65000;
inline const uint32_t private_text_tag = 65001;
inline const uint32_t private_long = 0xA1B2C3D4;
inline const char private_text[] = "field_probe private";

// Every byte of the JPEG page: a flat image, whose blocks are their DC
// coefficients alone, decodes to this value again with the tables it was
// quantized with (the tables of JPEGTables), and to another with any other
// tables. Black or white would come back whatever the tables: clamped.
inline constexpr uint8_t jpeg_level = 200;

} // namespace fields

#endif
