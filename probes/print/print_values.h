// print_probe's values: what its pages set, which the printed directory must
// give back. No value repeats another of its page, so a value printed under
// the wrong name shows; every fraction has few decimal digits, so that any
// precision a printer chooses gives it exactly.
#ifndef TIFF_PROBES_PRINT_VALUES_H
#define TIFF_PROBES_PRINT_VALUES_H

#include <cstdint>

#include "tags.h"

namespace prints {

// Page 0: 8-bit separated (CMYK) data of four inks, LZW with a predictor, in
// two strips.
inline constexpr uint32_t fields_width = 7;
inline constexpr uint32_t fields_length = 3;
inline constexpr uint32_t fields_rows_per_strip = 2;
inline constexpr uint16_t fields_samples = 4;

struct Text {
    uint32_t tag;
    const char *name; // the standard's
    const char *value;
};

// ASCII fields; none holds ": ", which a printer puts after a name.
inline constexpr Text fields_texts[] = {
    {ifd::tag::DocumentName, "DocumentName", "print probe document"},
    {ifd::tag::ImageDescription, "ImageDescription", "seven by three CMYK"},
    {ifd::tag::Make, "Make", "Probe Maker"},
    {ifd::tag::Model, "Model", "P-35"},
    {ifd::tag::PageName, "PageName", "page zero"},
    {ifd::tag::Software, "Software", "print_probe 1"},
    {ifd::tag::DateTime, "DateTime", "2026:12:09 02:30:00"},
    {ifd::tag::Artist, "Artist", "A. Prober"},
    {ifd::tag::HostComputer, "HostComputer", "host 35"},
    {ifd::tag::TargetPrinter, "TargetPrinter", "proof press"},
    {ifd::tag::Copyright, "Copyright", "(c) 2026 nobody"},
};

// InkNames: several strings in one field, NUL-terminated each.
inline constexpr const char *ink_names[] = {"cyan ink", "magenta", "yellow", "key"};

inline constexpr double x_resolution = 72.25;
inline constexpr double y_resolution = 300.5;
inline constexpr uint16_t resolution_unit = 3; // centimetre
inline constexpr double x_position = 1.5;
inline constexpr double y_position = 2.75;
inline constexpr uint16_t page_number[2] = {2, 7};
inline constexpr uint16_t min_sample = 3;
inline constexpr uint16_t max_sample = 250;
inline constexpr double smin_sample = 5;
inline constexpr double smax_sample = 245;
inline constexpr uint16_t dot_range[2] = {4, 249};
inline constexpr uint16_t halftone_hints[2] = {6, 251};
inline constexpr uint16_t cell_width = 9;
inline constexpr uint16_t cell_length = 11;
inline constexpr uint32_t subfile_type = 2; // a page of a document
inline constexpr uint16_t orientation = 6;  // row 0 the right-hand side
inline constexpr uint16_t threshholding = 2;
inline constexpr uint16_t ink_set = 2; // not CMYK
inline constexpr float white_point[2] = {0.3125F, 0.328125F};
inline constexpr float primaries[6] = {0.640625F, 0.34375F, 0.296875F, 0.59375F, 0.15625F, 0.0625F};
// The packet's text is printed as it stands, so it holds no line break.
inline constexpr char xmp_packet[] = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
inline constexpr uint8_t icc_profile[] = {0x00, 0x00, 0x01, 0x8c, 0x41, 0x44, 0x42, 0x45, 0x02};
inline constexpr uint8_t photoshop[] = {'8',  'B',  'I',  'M',  0x04, 0x04, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// Page 1: a 4-bit palette: 16 entries, every value distinct.
inline constexpr uint32_t palette_width = 6;
inline constexpr uint32_t palette_length = 2;
inline constexpr uint16_t palette_bits = 4;
inline constexpr uint16_t PaletteEntry(unsigned channel, unsigned i)
{
    return static_cast<uint16_t>(0x1111U * i + 0x101U * channel + 3U * channel * i + 7U);
}

// Page 2: 4-bit RGB with an unassociated alpha sample, in 16 x 16 tiles (two
// across), with three TransferFunction curves of 16 values and a
// ReferenceBlackWhite.
inline constexpr uint32_t curves_width = 20;
inline constexpr uint32_t curves_length = 8;
inline constexpr uint32_t curves_tile = 16;
inline constexpr uint16_t curves_bits = 4;
inline constexpr uint16_t extra_sample = 2; // unassociated alpha
inline constexpr uint16_t CurveValue(unsigned curve, unsigned i)
{
    // The last value at the type's limit, less the curve's number.
    return static_cast<uint16_t>(i == 15 ? 65535U - curve : 4000U * i + 17U * curve + 1U);
}
inline constexpr float reference_black_white[6] = {1, 14.5F, 2, 13.25F, 3, 12};

// Page 3: 8-bit gray in JPEG, with the tables the codec writes.
inline constexpr uint32_t jpeg_side = 16;

// The EXIF directory.
inline constexpr double exposure_time = 0.125;
inline constexpr double f_number = 2.75;
inline constexpr uint16_t iso_speeds[2] = {100, 400};
inline constexpr char exif_version[4] = {'0', '2', '3', '2'};
inline constexpr char date_time_original[] = "2026:12:09 01:02:03";
inline constexpr double exposure_bias = -0.5;
inline constexpr uint16_t metering_mode = 5; // pattern
inline constexpr uint8_t user_comment[] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'o', 'k'};
inline constexpr uint32_t pixel_x_dimension = 70000;
inline constexpr float lens_specification[4] = {18, 55, 3.5F, 5.625F};
inline constexpr char lens_make[] = "Lens Co";

// The GPS directory.
inline constexpr uint8_t gps_version[4] = {2, 3, 0, 0};
inline constexpr char gps_latitude_ref[] = "N";
inline constexpr double gps_latitude[3] = {52, 30.25, 1.5};
inline constexpr uint8_t gps_altitude_ref = 1;
inline constexpr double gps_altitude = 8848.5;
inline constexpr double gps_time_stamp[3] = {13, 45, 7.75};
inline constexpr char gps_date_stamp[] = "2026:12:09";
inline constexpr uint16_t gps_differential = 1;

} // namespace prints

#endif
