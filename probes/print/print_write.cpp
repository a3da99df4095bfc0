// print_probe's file: the pages and the EXIF and GPS directories it
// writes, each value from print_values.h.
#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <tiffio.h>

#include "print_probe.h"
#include "print_values.h"
#include "probe_support.h"

namespace print_probe {
namespace {

bool Set(bool ok, uint32_t tag, const char *filename, const char *place)
{
    if (!ok)
        probe::SayCantSet(tag, filename, place);
    return ok;
}

std::string InkNames()
{
    std::string names;
    for (const char *n : prints::ink_names) {
        names += n;
        names += '\0';
    }
    return names;
}

bool WriteImage(TIFF *tif, const char *filename)
{
    const bool tiled = TIFFIsTiled(tif) != 0;
    const uint32_t n = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const tmsize_t size = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    for (uint32_t i = 0; i < n; i++) {
        std::vector<uint8_t> buf(static_cast<size_t>(size));
        for (size_t b = 0; b < buf.size(); b++)
            buf[b] = static_cast<uint8_t>(b * 7 + i);
        const tmsize_t written = tiled ? TIFFWriteEncodedTile(tif, i, buf.data(), size)
                                       : TIFFWriteEncodedStrip(tif, i, buf.data(), size);
        if (written != size) {
            probe::SayCantWrite(filename);
            return false;
        }
    }
    return true;
}

// Writes the custom directory that `create` starts (EXIF or GPS) and `set`
// fills, its offset into *offset; says what failed.
bool WriteCustom(TIFF *tif, const char *filename, const char *place, int (*create)(TIFF *),
                 const std::function<bool()> &set, uint64_t *offset)
{
    if (create(tif) != 0) {
        probe::SayCantDirectory("create", filename, place);
        return false;
    }
    bool ok = set();
    if (ok && !TIFFWriteCustomDirectory(tif, offset)) {
        probe::SayCantDirectory("write", filename, place);
        ok = false;
    }
    // The custom directory's values are not freed by the next directory.
    TIFFFreeDirectory(tif);
    return ok;
}

bool WriteExif(TIFF *tif, const char *filename, uint64_t *offset)
{
    using namespace prints;
    const char *place = "EXIF IFD";
    const auto set = [&](uint32_t tag, auto... values) {
        return Set(TIFFSetField(tif, tag, values...) != 0, tag, filename, place);
    };
    const std::string version(exif_version, sizeof(exif_version));
    return WriteCustom(
        tif, filename, place, TIFFCreateEXIFDirectory,
        [&] {
            return set(EXIFTAG_EXPOSURETIME, exposure_time) && set(EXIFTAG_FNUMBER, f_number) &&
                   set(EXIFTAG_ISOSPEEDRATINGS, 2, iso_speeds) &&
                   set(EXIFTAG_EXIFVERSION, version.c_str()) &&
                   set(EXIFTAG_DATETIMEORIGINAL, date_time_original) &&
                   set(EXIFTAG_EXPOSUREBIASVALUE, exposure_bias) &&
                   set(EXIFTAG_METERINGMODE, metering_mode) &&
                   set(EXIFTAG_USERCOMMENT, static_cast<int>(sizeof(user_comment)), user_comment) &&
                   set(EXIFTAG_PIXELXDIMENSION, pixel_x_dimension) &&
                   set(EXIFTAG_LENSSPECIFICATION, lens_specification) &&
                   set(EXIFTAG_LENSMAKE, lens_make);
        },
        offset);
}

bool WriteGps(TIFF *tif, const char *filename, uint64_t *offset)
{
    using namespace prints;
    const char *place = "GPS IFD";
    const auto set = [&](uint32_t tag, auto... values) {
        return Set(TIFFSetField(tif, tag, values...) != 0, tag, filename, place);
    };
    static const char method[] = "ASCII\0\0\0probe";
    return WriteCustom(
        tif, filename, place, TIFFCreateGPSDirectory,
        [&] {
            return set(GPSTAG_VERSIONID, gps_version) &&
                   set(GPSTAG_LATITUDEREF, gps_latitude_ref) &&
                   set(GPSTAG_LATITUDE, gps_latitude) &&
                   set(GPSTAG_ALTITUDEREF, gps_altitude_ref) &&
                   set(GPSTAG_ALTITUDE, gps_altitude) && set(GPSTAG_TIMESTAMP, gps_time_stamp) &&
                   set(GPSTAG_PROCESSINGMETHOD, static_cast<int>(sizeof(method) - 1), method) &&
                   set(GPSTAG_DATESTAMP, gps_date_stamp) &&
                   set(GPSTAG_DIFFERENTIAL, gps_differential);
        },
        offset);
}

bool WriteFieldsPage(TIFF *tif, const char *filename, uint64_t exif, uint64_t gps)
{
    using namespace prints;
    const std::string page = probe::Page(fields_page);
    const char *place = page.c_str();
    if (TIFFCreateDirectory(tif) != 0) {
        probe::SayCantDirectory("create", filename, place);
        return false;
    }
    const std::string inks = InkNames();
    struct Setting {
        uint32_t tag;
        bool ok;
    };
    const Setting settings[] = {
        {TIFFTAG_SUBFILETYPE, TIFFSetField(tif, TIFFTAG_SUBFILETYPE, subfile_type) != 0},
        {TIFFTAG_IMAGEWIDTH, TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, fields_width) != 0},
        {TIFFTAG_IMAGELENGTH, TIFFSetField(tif, TIFFTAG_IMAGELENGTH, fields_length) != 0},
        {TIFFTAG_BITSPERSAMPLE, TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) != 0},
        {TIFFTAG_SAMPLESPERPIXEL, TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, fields_samples) != 0},
        {TIFFTAG_PHOTOMETRIC, TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED) != 0},
        {TIFFTAG_COMPRESSION, TIFFSetField(tif, TIFFTAG_COMPRESSION, fields_codec) != 0},
        // Predictor is a field of the codecs that predict.
        {TIFFTAG_PREDICTOR, fields_codec != COMPRESSION_LZW ||
                                TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) != 0},
        {TIFFTAG_PLANARCONFIG, TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) != 0},
        {TIFFTAG_ROWSPERSTRIP, TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, fields_rows_per_strip) != 0},
        {TIFFTAG_SAMPLEFORMAT, TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) != 0},
        {TIFFTAG_FILLORDER, TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) != 0},
        {TIFFTAG_ORIENTATION, TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation) != 0},
        {TIFFTAG_THRESHHOLDING, TIFFSetField(tif, TIFFTAG_THRESHHOLDING, threshholding) != 0},
        {TIFFTAG_CELLWIDTH, TIFFSetField(tif, TIFFTAG_CELLWIDTH, cell_width) != 0},
        {TIFFTAG_CELLLENGTH, TIFFSetField(tif, TIFFTAG_CELLLENGTH, cell_length) != 0},
        {TIFFTAG_XRESOLUTION, TIFFSetField(tif, TIFFTAG_XRESOLUTION, x_resolution) != 0},
        {TIFFTAG_YRESOLUTION, TIFFSetField(tif, TIFFTAG_YRESOLUTION, y_resolution) != 0},
        {TIFFTAG_RESOLUTIONUNIT, TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, resolution_unit) != 0},
        {TIFFTAG_XPOSITION, TIFFSetField(tif, TIFFTAG_XPOSITION, x_position) != 0},
        {TIFFTAG_YPOSITION, TIFFSetField(tif, TIFFTAG_YPOSITION, y_position) != 0},
        {TIFFTAG_PAGENUMBER,
         TIFFSetField(tif, TIFFTAG_PAGENUMBER, page_number[0], page_number[1]) != 0},
        {TIFFTAG_MINSAMPLEVALUE, TIFFSetField(tif, TIFFTAG_MINSAMPLEVALUE, min_sample) != 0},
        {TIFFTAG_MAXSAMPLEVALUE, TIFFSetField(tif, TIFFTAG_MAXSAMPLEVALUE, max_sample) != 0},
        {TIFFTAG_SMINSAMPLEVALUE, TIFFSetField(tif, TIFFTAG_SMINSAMPLEVALUE, smin_sample) != 0},
        {TIFFTAG_SMAXSAMPLEVALUE, TIFFSetField(tif, TIFFTAG_SMAXSAMPLEVALUE, smax_sample) != 0},
        {TIFFTAG_INKSET, TIFFSetField(tif, TIFFTAG_INKSET, ink_set) != 0},
        {TIFFTAG_INKNAMES,
         TIFFSetField(tif, TIFFTAG_INKNAMES, static_cast<int>(inks.size()), inks.data()) != 0},
        {TIFFTAG_NUMBEROFINKS, TIFFSetField(tif, TIFFTAG_NUMBEROFINKS, fields_samples) != 0},
        {TIFFTAG_DOTRANGE, TIFFSetField(tif, TIFFTAG_DOTRANGE, dot_range[0], dot_range[1]) != 0},
        {TIFFTAG_HALFTONEHINTS,
         TIFFSetField(tif, TIFFTAG_HALFTONEHINTS, halftone_hints[0], halftone_hints[1]) != 0},
        {TIFFTAG_WHITEPOINT, TIFFSetField(tif, TIFFTAG_WHITEPOINT, white_point) != 0},
        {TIFFTAG_PRIMARYCHROMATICITIES,
         TIFFSetField(tif, TIFFTAG_PRIMARYCHROMATICITIES, primaries) != 0},
        {TIFFTAG_XMLPACKET,
         TIFFSetField(tif, TIFFTAG_XMLPACKET, static_cast<uint32_t>(strlen(xmp_packet)),
                      xmp_packet) != 0},
        {TIFFTAG_ICCPROFILE,
         TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(sizeof(icc_profile)),
                      icc_profile) != 0},
        {TIFFTAG_PHOTOSHOP, TIFFSetField(tif, TIFFTAG_PHOTOSHOP,
                                         static_cast<uint32_t>(sizeof(photoshop)), photoshop) != 0},
        {TIFFTAG_EXIFIFD, TIFFSetField(tif, TIFFTAG_EXIFIFD, exif) != 0},
        {TIFFTAG_GPSIFD, TIFFSetField(tif, TIFFTAG_GPSIFD, gps) != 0},
    };
    for (const Setting &s : settings) {
        if (!Set(s.ok, s.tag, filename, place))
            return false;
    }
    for (const Text &t : fields_texts) {
        if (!Set(TIFFSetField(tif, t.tag, t.value) != 0, t.tag, filename, place))
            return false;
    }
    return WriteImage(tif, filename) && probe::WriteDirectory(tif, fields_page, filename);
}

// A field of a page's shape and its value, as TIFFSetField takes it: a
// uint32_t, or a uint16_t promoted.
struct Shape {
    uint32_t tag;
    uint32_t value;
};

// Sets page k's shape in order; says ShapeNotSet at the first field the
// library refuses.
bool SetShape(TIFF *tif, const char *filename, unsigned k, std::initializer_list<Shape> shape)
{
    const bool set = std::all_of(shape.begin(), shape.end(),
                                 [&](const Shape &s) { return TIFFSetField(tif, s.tag, s.value); });
    if (!set)
        probe::Say<probe::Line::ShapeNotSet>(filename, probe::Page(k).c_str());
    return set;
}

// The three columns of a table of 2^bits entries (ColorMap,
// TransferFunction), as TIFFSetField takes them.
std::array<std::vector<uint16_t>, 3> Columns(unsigned bits, uint16_t (*value)(unsigned, unsigned))
{
    std::array<std::vector<uint16_t>, 3> columns;
    for (unsigned c = 0; c < 3; c++) {
        for (unsigned i = 0; i < (1U << bits); i++)
            columns[c].push_back(value(c, i));
    }
    return columns;
}

bool WritePalettePage(TIFF *tif, const char *filename)
{
    using namespace prints;
    const std::string page = probe::Page(palette_page);
    const auto map = Columns(palette_bits, PaletteEntry);
    if (!SetShape(tif, filename, palette_page,
                  {{TIFFTAG_IMAGEWIDTH, palette_width},
                   {TIFFTAG_IMAGELENGTH, palette_length},
                   {TIFFTAG_BITSPERSAMPLE, palette_bits},
                   {TIFFTAG_SAMPLESPERPIXEL, 1},
                   {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE},
                   {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
                   {TIFFTAG_ROWSPERSTRIP, palette_length},
                   {TIFFTAG_COMPRESSION, palette_codec}}))
        return false;
    return Set(TIFFSetField(tif, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data()) !=
                   0,
               TIFFTAG_COLORMAP, filename, page.c_str()) &&
           WriteImage(tif, filename) && probe::WriteDirectory(tif, palette_page, filename);
}

bool WriteCurvesPage(TIFF *tif, const char *filename)
{
    using namespace prints;
    const std::string page = probe::Page(curves_page);
    const auto curve = Columns(curves_bits, CurveValue);
    if (!SetShape(tif, filename, curves_page,
                  {{TIFFTAG_IMAGEWIDTH, curves_width},
                   {TIFFTAG_IMAGELENGTH, curves_length},
                   {TIFFTAG_BITSPERSAMPLE, curves_bits},
                   {TIFFTAG_SAMPLESPERPIXEL, 4},
                   {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB},
                   {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
                   {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
                   {TIFFTAG_TILEWIDTH, curves_tile},
                   {TIFFTAG_TILELENGTH, curves_tile}}))
        return false;
    const uint16_t extra[1] = {extra_sample};
    return Set(TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) != 0, TIFFTAG_EXTRASAMPLES,
               filename, page.c_str()) &&
           Set(TIFFSetField(tif, TIFFTAG_TRANSFERFUNCTION, curve[0].data(), curve[1].data(),
                            curve[2].data()) != 0,
               TIFFTAG_TRANSFERFUNCTION, filename, page.c_str()) &&
           Set(TIFFSetField(tif, TIFFTAG_REFERENCEBLACKWHITE, reference_black_white) != 0,
               TIFFTAG_REFERENCEBLACKWHITE, filename, page.c_str()) &&
           WriteImage(tif, filename) && probe::WriteDirectory(tif, curves_page, filename);
}

bool WriteJpegPage(TIFF *tif, const char *filename)
{
    using namespace prints;
    return SetShape(tif, filename, jpeg_page,
                    {{TIFFTAG_IMAGEWIDTH, jpeg_side},
                     {TIFFTAG_IMAGELENGTH, jpeg_side},
                     {TIFFTAG_BITSPERSAMPLE, 8},
                     {TIFFTAG_SAMPLESPERPIXEL, 1},
                     {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
                     {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
                     {TIFFTAG_ROWSPERSTRIP, jpeg_side},
                     {TIFFTAG_COMPRESSION, COMPRESSION_JPEG}}) &&
           WriteImage(tif, filename) && probe::WriteDirectory(tif, jpeg_page, filename);
}

} // namespace

bool WriteFile(const probe::Layout &layout)
{
    const char *name = layout.filename;
    const probe::Tiff tif = probe::Create(layout);
    uint64_t exif = 0;
    uint64_t gps = 0;
    return tif && WriteExif(tif, name, &exif) && WriteGps(tif, name, &gps) &&
           WriteFieldsPage(tif, name, exif, gps) && WritePalettePage(tif, name) &&
           WriteCurvesPage(tif, name) && (!JpegConfigured() || WriteJpegPage(tif, name));
}

} // namespace print_probe
