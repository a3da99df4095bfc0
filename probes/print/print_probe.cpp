// Proves that TIFFPrintDirectory prints what a directory holds: on pages
// with many standard fields (rationals, arrays, several strings in one
// field), a palette, transfer curves, JPEG tables, and the EXIF and GPS
// directories, in both byte orders and both formats, with and without each
// TIFFPRINT_* flag. The printed text is parsed, never compared with a
// recorded one: each field the directory holds must be printed once, under
// its standard's name, with the values written; nothing else may be. The
// spacing and the order are the library's to choose.
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "print_parse.h"
#include "print_values.h"
#include "probe_support.h"

namespace {

constexpr probe::Layout layouts[] = {
    {"prints_le.tif", false, false},
    {"prints_be.tif", true, false},
    {"prints_le.btf", false, true},
    {"prints_be.btf", true, true},
};

constexpr unsigned fields_page = 0;
constexpr unsigned palette_page = 1;
constexpr unsigned curves_page = 2;
constexpr unsigned jpeg_page = 3;

struct Flags {
    long value;
    const char *name;
};

constexpr Flags all_flags[] = {
    {TIFFPRINT_NONE, "TIFFPRINT_NONE"},
    {TIFFPRINT_STRIPS, "TIFFPRINT_STRIPS"},
    {TIFFPRINT_CURVES, "TIFFPRINT_CURVES"},
    {TIFFPRINT_COLORMAP, "TIFFPRINT_COLORMAP"},
    {TIFFPRINT_JPEGQTABLES, "TIFFPRINT_JPEGQTABLES"},
    {TIFFPRINT_JPEGACTABLES, "TIFFPRINT_JPEGACTABLES"},
    {TIFFPRINT_STRIPS | TIFFPRINT_CURVES | TIFFPRINT_COLORMAP,
     "TIFFPRINT_STRIPS|TIFFPRINT_CURVES|TIFFPRINT_COLORMAP"},
};

// The codecs of the fields page and the palette page: none where the
// library lacks them (probe::CodecOrNone, in main), and then no Predictor.
uint16_t fields_codec = COMPRESSION_LZW;
uint16_t palette_codec = COMPRESSION_PACKBITS;

std::vector<std::string> CodecWords(uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_LZW:
        return {"lzw"};
    case COMPRESSION_PACKBITS:
        return {"packbits"};
    default:
        return {"none", "no compression", "uncompressed"};
    }
}

bool JpegConfigured()
{
    return TIFFIsCODECConfigured(COMPRESSION_JPEG) != 0;
}

// --- Writing ---------------------------------------------------------------

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

bool WriteDirectory(TIFF *tif, unsigned k, const char *filename)
{
    if (TIFFWriteDirectory(tif))
        return true;
    probe::SayCantDirectory("write", filename, probe::Page(k).c_str());
    return false;
}

bool WriteExif(TIFF *tif, const char *filename, uint64_t *offset)
{
    using namespace prints;
    const char *place = "EXIF IFD";
    if (TIFFCreateEXIFDirectory(tif) != 0) {
        probe::SayCantDirectory("create", filename, place);
        return false;
    }
    const std::string version(exif_version, sizeof(exif_version));
    bool ok =
        Set(TIFFSetField(tif, EXIFTAG_EXPOSURETIME, exposure_time), EXIFTAG_EXPOSURETIME, filename,
            place) &&
        Set(TIFFSetField(tif, EXIFTAG_FNUMBER, f_number), EXIFTAG_FNUMBER, filename, place) &&
        Set(TIFFSetField(tif, EXIFTAG_ISOSPEEDRATINGS, 2, iso_speeds), EXIFTAG_ISOSPEEDRATINGS,
            filename, place) &&
        Set(TIFFSetField(tif, EXIFTAG_EXIFVERSION, version.c_str()), EXIFTAG_EXIFVERSION, filename,
            place) &&
        Set(TIFFSetField(tif, EXIFTAG_DATETIMEORIGINAL, date_time_original),
            EXIFTAG_DATETIMEORIGINAL, filename, place) &&
        Set(TIFFSetField(tif, EXIFTAG_EXPOSUREBIASVALUE, exposure_bias), EXIFTAG_EXPOSUREBIASVALUE,
            filename, place) &&
        Set(TIFFSetField(tif, EXIFTAG_METERINGMODE, metering_mode), EXIFTAG_METERINGMODE, filename,
            place) &&
        Set(TIFFSetField(tif, EXIFTAG_USERCOMMENT, static_cast<int>(sizeof(user_comment)),
                         user_comment),
            EXIFTAG_USERCOMMENT, filename, place) &&
        Set(TIFFSetField(tif, EXIFTAG_PIXELXDIMENSION, pixel_x_dimension), EXIFTAG_PIXELXDIMENSION,
            filename, place) &&
        Set(TIFFSetField(tif, EXIFTAG_LENSSPECIFICATION, lens_specification),
            EXIFTAG_LENSSPECIFICATION, filename, place) &&
        Set(TIFFSetField(tif, EXIFTAG_LENSMAKE, lens_make), EXIFTAG_LENSMAKE, filename, place);
    if (ok && !TIFFWriteCustomDirectory(tif, offset)) {
        probe::SayCantDirectory("write", filename, place);
        ok = false;
    }
    // The custom directory's values are not freed by the next directory.
    TIFFFreeDirectory(tif);
    return ok;
}

bool WriteGps(TIFF *tif, const char *filename, uint64_t *offset)
{
    using namespace prints;
    const char *place = "GPS IFD";
    if (TIFFCreateGPSDirectory(tif) != 0) {
        probe::SayCantDirectory("create", filename, place);
        return false;
    }
    static const char method[] = "ASCII\0\0\0probe";
    bool ok =
        Set(TIFFSetField(tif, GPSTAG_VERSIONID, gps_version), GPSTAG_VERSIONID, filename, place) &&
        Set(TIFFSetField(tif, GPSTAG_LATITUDEREF, gps_latitude_ref), GPSTAG_LATITUDEREF, filename,
            place) &&
        Set(TIFFSetField(tif, GPSTAG_LATITUDE, gps_latitude), GPSTAG_LATITUDE, filename, place) &&
        Set(TIFFSetField(tif, GPSTAG_ALTITUDEREF, gps_altitude_ref), GPSTAG_ALTITUDEREF, filename,
            place) &&
        Set(TIFFSetField(tif, GPSTAG_ALTITUDE, gps_altitude), GPSTAG_ALTITUDE, filename, place) &&
        Set(TIFFSetField(tif, GPSTAG_TIMESTAMP, gps_time_stamp), GPSTAG_TIMESTAMP, filename,
            place) &&
        Set(TIFFSetField(tif, GPSTAG_PROCESSINGMETHOD, static_cast<int>(sizeof(method) - 1),
                         method),
            GPSTAG_PROCESSINGMETHOD, filename, place) &&
        Set(TIFFSetField(tif, GPSTAG_DATESTAMP, gps_date_stamp), GPSTAG_DATESTAMP, filename,
            place) &&
        Set(TIFFSetField(tif, GPSTAG_DIFFERENTIAL, gps_differential), GPSTAG_DIFFERENTIAL, filename,
            place);
    if (ok && !TIFFWriteCustomDirectory(tif, offset)) {
        probe::SayCantDirectory("write", filename, place);
        ok = false;
    }
    TIFFFreeDirectory(tif);
    return ok;
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
    return WriteImage(tif, filename) && WriteDirectory(tif, fields_page, filename);
}

bool WritePalettePage(TIFF *tif, const char *filename)
{
    using namespace prints;
    const std::string page = probe::Page(palette_page);
    std::vector<uint16_t> map[3];
    for (unsigned c = 0; c < 3; c++) {
        for (unsigned i = 0; i < (1U << palette_bits); i++)
            map[c].push_back(PaletteEntry(c, i));
    }
    const bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, palette_width) &&
                    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, palette_length) &&
                    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, palette_bits) &&
                    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
                    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE) &&
                    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, palette_length) &&
                    TIFFSetField(tif, TIFFTAG_COMPRESSION, palette_codec);
    if (!ok) {
        probe::Say<probe::Line::ShapeNotSet>(filename, page.c_str());
        return false;
    }
    return Set(TIFFSetField(tif, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data()) !=
                   0,
               TIFFTAG_COLORMAP, filename, page.c_str()) &&
           WriteImage(tif, filename) && WriteDirectory(tif, palette_page, filename);
}

bool WriteCurvesPage(TIFF *tif, const char *filename)
{
    using namespace prints;
    const std::string page = probe::Page(curves_page);
    std::vector<uint16_t> curve[3];
    for (unsigned c = 0; c < 3; c++) {
        for (unsigned i = 0; i < (1U << curves_bits); i++)
            curve[c].push_back(CurveValue(c, i));
    }
    const bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, curves_width) &&
                    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, curves_length) &&
                    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, curves_bits) &&
                    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4) &&
                    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
                    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
                    TIFFSetField(tif, TIFFTAG_TILEWIDTH, curves_tile) &&
                    TIFFSetField(tif, TIFFTAG_TILELENGTH, curves_tile);
    if (!ok) {
        probe::Say<probe::Line::ShapeNotSet>(filename, page.c_str());
        return false;
    }
    const uint16_t extra[1] = {extra_sample};
    return Set(TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) != 0, TIFFTAG_EXTRASAMPLES,
               filename, page.c_str()) &&
           Set(TIFFSetField(tif, TIFFTAG_TRANSFERFUNCTION, curve[0].data(), curve[1].data(),
                            curve[2].data()) != 0,
               TIFFTAG_TRANSFERFUNCTION, filename, page.c_str()) &&
           Set(TIFFSetField(tif, TIFFTAG_REFERENCEBLACKWHITE, reference_black_white) != 0,
               TIFFTAG_REFERENCEBLACKWHITE, filename, page.c_str()) &&
           WriteImage(tif, filename) && WriteDirectory(tif, curves_page, filename);
}

bool WriteJpegPage(TIFF *tif, const char *filename)
{
    using namespace prints;
    const bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, jpeg_side) &&
                    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, jpeg_side) &&
                    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
                    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
                    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
                    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, jpeg_side) &&
                    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    if (!ok) {
        probe::Say<probe::Line::ShapeNotSet>(filename, probe::Page(jpeg_page).c_str());
        return false;
    }
    return WriteImage(tif, filename) && WriteDirectory(tif, jpeg_page, filename);
}

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

using prints::HasWords;
using prints::Item;
using prints::Normal;
using prints::Numbers;
using prints::Parse;
using prints::Printed;
using prints::Trim;

// --- What must be printed ---------------------------------------------------

enum class Kind {
    Numbers, // the values, in order; Enum-like words for a unit may follow
    Text,    // an ASCII field's text
    Names,   // several strings in one field, one after another
    Enum,    // a value the standard names: its words, or the number itself
    Bytes,   // a block of bytes: its length, or its bytes
    Packet,  // a text printed as it stands, on the lines after the name
    Table,   // one entry a line, printed with a flag (ColorMap, curves)
    Jpeg,    // JPEGTables: its length; with a flag, its tables' values
};

struct Field {
    uint32_t tag;
    std::string name;                // the standard's, for the lines
    std::vector<std::string> labels; // normalized names it may be printed under
    Kind kind;
    std::vector<double> numbers;
    bool repeated = false; // printed once, or once per sample
    std::string text;
    std::vector<std::string> texts; // Names; Enum: the standard's words for the value
    std::vector<uint8_t> bytes;     // Bytes, Jpeg
    long flag = 0;                  // Table, Jpeg: the flag that prints the values
    unsigned width = 0;             // Table: values an entry
};

Field Make(uint32_t tag, const char *name, Kind kind, const std::vector<const char *> &also = {})
{
    Field f{tag, name, {Normal(name)}, kind, {}, false, {}, {}, {}, 0, 0};
    for (const char *a : also)
        f.labels.push_back(Normal(a));
    return f;
}

Field NumberField(uint32_t tag, const char *name, std::vector<double> numbers,
                  const std::vector<const char *> &also = {})
{
    Field f = Make(tag, name, Kind::Numbers, also);
    f.numbers = std::move(numbers);
    return f;
}

Field EnumField(uint32_t tag, const char *name, double value, std::vector<std::string> words,
                const std::vector<const char *> &also = {})
{
    Field f = Make(tag, name, Kind::Enum, also);
    f.numbers = {value};
    f.texts = std::move(words);
    return f;
}

Field TextField(uint32_t tag, const char *name, const std::string &text)
{
    Field f = Make(tag, name, Kind::Text);
    f.text = text;
    return f;
}

template <typename T, size_t N>
std::vector<double> List(const T (&values)[N])
{
    return std::vector<double>(std::begin(values), std::end(values));
}

// The fields every image page sets, with the values of its shape.
void AddShape(std::vector<Field> *f, uint32_t width, uint32_t length, double bits, double samples,
              double photometric, std::vector<std::string> photometric_words, double compression,
              std::vector<std::string> compression_words)
{
    f->push_back(NumberField(256, "ImageWidth", {static_cast<double>(width)}));
    f->push_back(NumberField(257, "ImageLength", {static_cast<double>(length)}));
    Field b = NumberField(258, "BitsPerSample", {bits});
    b.repeated = true;
    f->push_back(b);
    f->push_back(NumberField(277, "SamplesPerPixel", {samples}));
    // TIFF 6.0's names of the values; "contig" the library's constant.
    f->push_back(EnumField(284, "PlanarConfiguration", 1, {"chunky", "contig", "single"}));
    f->push_back(
        EnumField(262, "PhotometricInterpretation", photometric, std::move(photometric_words)));
    f->push_back(EnumField(259, "Compression", compression, std::move(compression_words),
                           {"Compression Scheme"}));
}

std::vector<Field> FieldsPage(const ifd::Directory &dir)
{
    using namespace prints;
    std::vector<Field> f;
    AddShape(&f, fields_width, fields_length, 8, fields_samples, PHOTOMETRIC_SEPARATED,
             {"separated", "cmyk"}, fields_codec, CodecWords(fields_codec));
    // TIFF 6.0 calls tag 254 NewSubfileType; its bit 1 a page of many.
    f.push_back(EnumField(254, "NewSubfileType", subfile_type, {"page"}, {"Subfile Type"}));
    f.push_back(NumberField(278, "RowsPerStrip", {fields_rows_per_strip}));
    f.push_back(EnumField(339, "SampleFormat", SAMPLEFORMAT_UINT, {"unsigned"}));
    if (fields_codec == COMPRESSION_LZW)
        f.push_back(EnumField(317, "Predictor", PREDICTOR_HORIZONTAL, {"horizontal"}));
    // Lower columns in the higher-order bits: most significant first.
    f.push_back(EnumField(266, "FillOrder", FILLORDER_MSB2LSB, {"msb+lsb", "higher-order"}));
    // Row 0 the visual right-hand side, column 0 the visual top.
    f.push_back(EnumField(274, "Orientation", orientation,
                          {"row 0+rhs+col 0+top", "row+rhs+col+top", "row+right+column+top"}));
    f.push_back(
        EnumField(263, "Threshholding", threshholding, {"halftone", "dither"}, {"Thresholding"}));
    f.push_back(NumberField(264, "CellWidth", {cell_width}));
    f.push_back(NumberField(265, "CellLength", {cell_length}));
    // One line for both resolutions and their unit, centimetres.
    Field res = NumberField(282, "XResolution", {x_resolution, y_resolution}, {"Resolution"});
    res.texts = {"cm", "centimet"};
    f.push_back(res);
    f.push_back(NumberField(286, "XPosition", {x_position, y_position}, {"Position"}));
    f.push_back(NumberField(297, "PageNumber", List(page_number)));
    f.push_back(NumberField(280, "MinSampleValue", {min_sample}));
    f.push_back(NumberField(281, "MaxSampleValue", {max_sample}));
    f.push_back(NumberField(340, "SMinSampleValue", {smin_sample}));
    f.push_back(NumberField(341, "SMaxSampleValue", {smax_sample}));
    f.push_back(EnumField(332, "InkSet", ink_set, {"not cmyk"}));
    f.push_back(NumberField(334, "NumberOfInks", {fields_samples}));
    Field names = Make(333, "InkNames", Kind::Names);
    names.texts.assign(std::begin(ink_names), std::end(ink_names));
    f.push_back(names);
    f.push_back(NumberField(336, "DotRange", List(dot_range)));
    f.push_back(NumberField(321, "HalftoneHints", List(halftone_hints)));
    f.push_back(NumberField(318, "WhitePoint", List(white_point)));
    f.push_back(NumberField(319, "PrimaryChromaticities", List(primaries)));
    for (const Text &t : fields_texts)
        f.push_back(TextField(t.tag, t.name, t.value));
    Field xmp = Make(700, "XMLPacket", Kind::Packet, {"XMP"});
    xmp.text = xmp_packet;
    f.push_back(xmp);
    Field icc = Make(34675, "ICCProfile", Kind::Bytes, {"InterColorProfile"});
    icc.bytes.assign(std::begin(icc_profile), std::end(icc_profile));
    f.push_back(icc);
    // Adobe's name for tag 34377 is Photoshop, its bytes Photoshop's data.
    Field ps = Make(34377, "Photoshop", Kind::Bytes, {"Photoshop Data", "ImageSourceData"});
    ps.bytes.assign(std::begin(photoshop), std::end(photoshop));
    f.push_back(ps);
    // The links, by the offsets the file holds; EXIF names them pointers.
    for (const auto &link :
         {std::make_pair(34665U, "ExifIFD"), std::make_pair(34853U, "GPSInfoIFD")}) {
        const ifd::Entry *e = ifd::FindEntry(dir, link.first);
        const double offset = e && !e->values.empty() ? static_cast<double>(e->values[0]) : -1;
        const std::string name = link.second;
        const std::string stem = name.substr(0, name.size() - 3) == "GPSInfo" ? "GPS" : "EXIF";
        Field l = NumberField(link.first, link.second, {offset});
        l.labels.push_back(Normal(stem + " IFD Pointer"));
        l.labels.push_back(Normal(stem + " IFD Offset"));
        l.labels.push_back(Normal(stem + " IFD"));
        f.push_back(l);
    }
    return f;
}

std::vector<Field> PalettePage()
{
    using namespace prints;
    std::vector<Field> f;
    AddShape(&f, palette_width, palette_length, palette_bits, 1, PHOTOMETRIC_PALETTE, {"palette"},
             palette_codec, CodecWords(palette_codec));
    f.push_back(NumberField(278, "RowsPerStrip", {palette_length}));
    Field map = Make(320, "ColorMap", Kind::Table);
    for (unsigned i = 0; i < (1U << palette_bits); i++) {
        for (unsigned c = 0; c < 3; c++)
            map.numbers.push_back(PaletteEntry(c, i));
    }
    map.flag = TIFFPRINT_COLORMAP;
    map.width = 3;
    f.push_back(map);
    return f;
}

std::vector<Field> CurvesPage()
{
    using namespace prints;
    std::vector<Field> f;
    AddShape(&f, curves_width, curves_length, curves_bits, 4, PHOTOMETRIC_RGB, {"rgb"},
             COMPRESSION_NONE, {"none", "no compression", "uncompressed"});
    f.push_back(NumberField(322, "TileWidth", {curves_tile}));
    f.push_back(NumberField(323, "TileLength", {curves_tile}));
    // One value: its count, then its name.
    f.push_back(EnumField(338, "ExtraSamples", extra_sample, {"1+unassoc"}));
    Field curves = Make(301, "TransferFunction", Kind::Table);
    for (unsigned i = 0; i < (1U << curves_bits); i++) {
        for (unsigned c = 0; c < 3; c++)
            curves.numbers.push_back(CurveValue(c, i));
    }
    curves.flag = TIFFPRINT_CURVES;
    curves.width = 3;
    f.push_back(curves);
    f.push_back(NumberField(532, "ReferenceBlackWhite", List(reference_black_white)));
    return f;
}

std::vector<Field> JpegPage(const ifd::Directory &dir)
{
    using namespace prints;
    std::vector<Field> f;
    AddShape(&f, jpeg_side, jpeg_side, 8, 1, PHOTOMETRIC_MINISBLACK,
             {"min-is-black", "black+zero", "blackiszero"}, COMPRESSION_JPEG, {"jpeg"});
    f.push_back(NumberField(278, "RowsPerStrip", {jpeg_side}));
    Field tables = Make(347, "JPEGTables", Kind::Jpeg);
    const ifd::Entry *e = ifd::FindEntry(dir, 347);
    if (e) {
        for (uint64_t b : e->values)
            tables.bytes.push_back(static_cast<uint8_t>(b));
    }
    f.push_back(tables);
    return f;
}

std::vector<Field> ExifIfd()
{
    using namespace prints;
    std::vector<Field> f;
    f.push_back(NumberField(33434, "ExposureTime", {exposure_time}));
    f.push_back(NumberField(33437, "FNumber", {f_number}));
    // EXIF 2.32's name, and the one of the EXIF versions before it.
    f.push_back(
        NumberField(34855, "PhotographicSensitivity", List(iso_speeds), {"ISOSpeedRatings"}));
    std::vector<double> version(std::begin(exif_version), std::end(exif_version));
    Field v = NumberField(36864, "ExifVersion", version);
    v.kind = Kind::Bytes;
    v.bytes.assign(std::begin(exif_version), std::end(exif_version));
    v.text = std::string(exif_version, sizeof(exif_version));
    f.push_back(v);
    f.push_back(TextField(36867, "DateTimeOriginal", date_time_original));
    f.push_back(NumberField(37380, "ExposureBiasValue", {exposure_bias}));
    f.push_back(EnumField(37383, "MeteringMode", metering_mode, {"pattern"}));
    Field c = Make(37510, "UserComment", Kind::Bytes);
    c.bytes.assign(std::begin(user_comment), std::end(user_comment));
    f.push_back(c);
    f.push_back(NumberField(40962, "PixelXDimension", {pixel_x_dimension}));
    f.push_back(NumberField(42034, "LensSpecification", List(lens_specification)));
    f.push_back(TextField(42035, "LensMake", lens_make));
    return f;
}

std::vector<Field> GpsIfd()
{
    using namespace prints;
    static const char method[] = "ASCII\0\0\0probe";
    std::vector<Field> f;
    Field v = Make(0, "GPSVersionID", Kind::Bytes);
    v.bytes.assign(std::begin(gps_version), std::end(gps_version));
    f.push_back(v);
    f.push_back(TextField(1, "GPSLatitudeRef", gps_latitude_ref));
    f.push_back(NumberField(2, "GPSLatitude", List(gps_latitude)));
    f.push_back(EnumField(5, "GPSAltitudeRef", gps_altitude_ref, {"below"}));
    f.push_back(NumberField(6, "GPSAltitude", {gps_altitude}));
    f.push_back(NumberField(7, "GPSTimeStamp", List(gps_time_stamp)));
    Field m = Make(27, "GPSProcessingMethod", Kind::Bytes);
    m.bytes.assign(method, method + sizeof(method) - 1);
    f.push_back(m);
    f.push_back(TextField(29, "GPSDateStamp", gps_date_stamp));
    f.push_back(EnumField(30, "GPSDifferential", gps_differential, {"correction applied"}));
    // Within the GPS directory its prefix may go.
    for (Field &field : f)
        field.labels.push_back(Normal(field.name.substr(3)));
    return f;
}

// --- The check ----------------------------------------------------------------

struct Where {
    const char *filename;
    std::string place;
    const char *flags;
};

// "NAME: PLACE: TIFFPrintDirectory(FLAGS): ...", the rest as the row `Id`
// words it.
template <probe::Line Id, typename... Args>
void Said(const Where &w, Args... args)
{
    probe::Say<Id>(w.filename, w.place.c_str(), w.flags, args...);
}

std::string Joined(const std::vector<double> &numbers)
{
    std::string out;
    for (double n : numbers) {
        char b[32];
        snprintf(b, sizeof(b), "%.9g", n);
        if (!out.empty())
            out += ", ";
        out += b;
    }
    return out;
}

std::string Shown(const Item &item)
{
    std::string out = item.value;
    for (const std::string &line : item.more) {
        if (!out.empty())
            out += " / ";
        out += Trim(line);
    }
    return out;
}

// The values of an item's lines "K: values", K counting from 0; false when
// a line is not of that form or out of order.
bool Entries(const Item &item, std::vector<std::vector<double>> *entries)
{
    for (const std::string &line : item.more) {
        const std::vector<double> n = Numbers(line);
        if (Trim(line).empty())
            continue;
        if (n.empty() || line.find(':') == std::string::npos ||
            n[0] != static_cast<double>(entries->size()))
            return false;
        entries->emplace_back(n.begin() + 1, n.end());
    }
    return true;
}

// The numbers an item prints: on its line, and in its entry lines.
bool ItemNumbers(const Item &item, std::vector<double> *numbers)
{
    *numbers = Numbers(item.value);
    std::vector<std::vector<double>> entries;
    if (!Entries(item, &entries))
        return false;
    for (const auto &e : entries)
        numbers->insert(numbers->end(), e.begin(), e.end());
    return true;
}

std::string Expected(const Field &f)
{
    switch (f.kind) {
    case Kind::Text:
    case Kind::Packet:
        return "\"" + f.text + "\"";
    case Kind::Names: {
        std::string out;
        for (const std::string &t : f.texts)
            out += (out.empty() ? "\"" : ", \"") + t + "\"";
        return out;
    }
    case Kind::Bytes:
    case Kind::Jpeg:
        return std::to_string(f.bytes.size()) + " bytes";
    default:
        return Joined(f.numbers);
    }
}

bool SameNumbers(const std::vector<double> &got, const Field &f)
{
    if (got == f.numbers)
        return true;
    if (!f.repeated || got.empty() || f.numbers.size() != 1)
        return false;
    return std::all_of(got.begin(), got.end(), [&](double g) { return g == f.numbers[0]; });
}

// The values of JPEG marker segments of `marker` in `bytes`: DQT's table
// entries, or DHT's symbols (after each table's 16 counts). Bounds checked:
// the bytes are the file's.
std::vector<double> SegmentValues(const std::vector<uint8_t> &bytes, uint8_t marker)
{
    std::vector<double> out;
    size_t i = 2;
    while (i + 4 <= bytes.size() && bytes[i] == 0xFF) {
        const uint8_t m = bytes[i + 1];
        const size_t length = static_cast<size_t>(bytes[i + 2]) << 8 | bytes[i + 3];
        if (m == 0xD9 || length < 2 || i + 2 + length > bytes.size())
            break;
        const size_t end = i + 2 + length;
        size_t p = i + 4;
        while (m == marker && p < end) {
            if (marker == 0xDB) {
                const size_t width = (bytes[p] >> 4) ? 2 : 1;
                p++;
                for (int k = 0; k < 64 && p + width <= end; k++, p += width)
                    out.push_back(width == 2 ? (bytes[p] << 8 | bytes[p + 1]) : bytes[p]);
            } else {
                size_t symbols = 0;
                for (size_t k = 0; k < 16 && p + 1 + k < end; k++)
                    symbols += bytes[p + 1 + k];
                p += 17;
                for (size_t k = 0; k < symbols && p < end; k++, p++)
                    out.push_back(bytes[p]);
            }
        }
        i = end;
    }
    return out;
}

// Whether `all` holds every value of `part`, as often.
bool Holds(std::vector<double> all, std::vector<double> part)
{
    std::sort(all.begin(), all.end());
    std::sort(part.begin(), part.end());
    return !part.empty() && std::includes(all.begin(), all.end(), part.begin(), part.end());
}

bool CheckTable(const Field &f, const Item &item, long flags, const Where &w)
{
    if (!(flags & f.flag))
        return true; // shown as present; the values only with the flag
    const size_t expect = f.numbers.size() / f.width;
    size_t n = 0;
    for (const std::string &line : item.more) {
        if (Trim(line).empty())
            continue;
        const std::vector<double> got = Numbers(line);
        std::vector<double> want = {static_cast<double>(n)};
        if (n < expect)
            want.insert(want.end(), f.numbers.begin() + static_cast<long>(n * f.width),
                        f.numbers.begin() + static_cast<long>((n + 1) * f.width));
        if (n >= expect || got != want || line.find(':') == std::string::npos) {
            want.erase(want.begin());
            Said<probe::Line::PrintedEntry>(w, f.tag, f.name.c_str(), n, Trim(line).c_str(),
                                            n < expect ? Joined(want).c_str() : "none");
            return false;
        }
        n++;
    }
    if (n != expect) {
        Said<probe::Line::PrintedEntries>(w, f.tag, f.name.c_str(), n, expect);
        return false;
    }
    return true;
}

bool CheckJpeg(const Field &f, const Item &item, long flags, const Where &w)
{
    const std::vector<double> length = Numbers(item.value);
    bool ok = true;
    if (length != std::vector<double>{static_cast<double>(f.bytes.size())}) {
        Said<probe::Line::PrintedAs>(w, f.tag, f.name.c_str(), Shown(item).c_str(),
                                     Expected(f).c_str());
        ok = false;
    }
    std::vector<double> printed;
    for (const std::string &line : item.more) {
        const std::vector<double> n = Numbers(line);
        printed.insert(printed.end(), n.begin(), n.end());
    }
    // TIFFPrintDirectory(3tiff): the Q matrices, the AC and DC tables.
    if ((flags & TIFFPRINT_JPEGQTABLES) && !Holds(printed, SegmentValues(f.bytes, 0xDB))) {
        Said<probe::Line::TablesNotPrinted>(w, f.tag, f.name.c_str(), "quantization");
        ok = false;
    }
    if ((flags & TIFFPRINT_JPEGACTABLES) && !Holds(printed, SegmentValues(f.bytes, 0xC4))) {
        Said<probe::Line::TablesNotPrinted>(w, f.tag, f.name.c_str(), "Huffman");
        ok = false;
    }
    return ok;
}

bool ValueRight(const Field &f, const Item &item)
{
    std::vector<double> got;
    switch (f.kind) {
    case Kind::Text:
        return item.value == f.text && item.more.empty();
    case Kind::Packet: {
        std::string text = item.value;
        for (const std::string &line : item.more)
            text += line;
        return text == f.text;
    }
    case Kind::Names: {
        std::vector<std::string> names;
        size_t at = 0;
        while (at <= item.value.size()) {
            size_t comma = item.value.find(", ", at);
            if (comma == std::string::npos)
                comma = item.value.size();
            names.push_back(item.value.substr(at, comma - at));
            at = comma + 2;
        }
        return names == f.texts;
    }
    case Kind::Enum: {
        if (!ItemNumbers(item, &got))
            return false;
        // By the standard's words, any number printed besides being the
        // value or one of those words ("row 0"); or by the number alone.
        const auto only = [&](std::vector<double> allowed) {
            allowed.push_back(f.numbers[0]);
            return std::all_of(got.begin(), got.end(), [&](double g) {
                return std::find(allowed.begin(), allowed.end(), g) != allowed.end();
            });
        };
        for (const std::string &words : f.texts) {
            if (HasWords(Shown(item), words))
                return only(Numbers(words));
        }
        return !got.empty() && only({});
    }
    case Kind::Bytes: {
        if (!ItemNumbers(item, &got))
            return false;
        const std::vector<double> bytes(f.bytes.begin(), f.bytes.end());
        // Its length ("<present>, 9 bytes"), its bytes, or its text.
        return got == std::vector<double>{static_cast<double>(f.bytes.size())} || got == bytes ||
               (!f.text.empty() && item.value == f.text);
    }
    default:
        if (!ItemNumbers(item, &got) || !SameNumbers(got, f))
            return false;
        return f.texts.empty() ||
               std::any_of(f.texts.begin(), f.texts.end(),
                           [&](const std::string &words) { return HasWords(item.value, words); });
    }
}

// The strips (or tiles) as TIFFPRINT_STRIPS prints them: "N Strips:", then
// "K: [offset, count]" for each.
bool CheckChunks(const Item &item, const ifd::Directory &dir, bool tiled, const Where &w)
{
    const ifd::Entry *offsets = ifd::FindEntry(dir, tiled ? 324 : 273);
    const ifd::Entry *counts = ifd::FindEntry(dir, tiled ? 325 : 279);
    const char *unit = tiled ? "tile" : "strip";
    const size_t expect =
        offsets && counts ? std::min(offsets->values.size(), counts->values.size()) : 0;
    size_t n = 0;
    for (const std::string &line : item.more) {
        if (Trim(line).empty())
            continue;
        std::vector<double> want;
        if (n < expect)
            want = {static_cast<double>(n), static_cast<double>(offsets->values[n]),
                    static_cast<double>(counts->values[n])};
        if (n >= expect || Numbers(line) != want) {
            if (!want.empty())
                want.erase(want.begin());
            Said<probe::Line::PrintedChunk>(w, unit, n, Trim(line).c_str(),
                                            n < expect ? Joined(want).c_str() : "none");
            return false;
        }
        n++;
    }
    const std::vector<double> said = Numbers(item.label);
    if (n != expect || said != std::vector<double>{static_cast<double>(expect)}) {
        Said<probe::Line::PrintedChunks>(w, item.label.c_str(), n, unit, expect);
        return false;
    }
    return true;
}

bool IsChunks(const Item &item, bool tiled)
{
    static const std::regex strips(R"(^[0-9]+ Strips$)");
    static const std::regex tiles(R"(^[0-9]+ Tiles$)");
    return item.value.empty() && std::regex_match(item.label, tiled ? tiles : strips);
}

// One directory printed with `flags`, against the fields it holds.
bool CheckPrinted(const std::string &text, const std::vector<Field> &fields, uint64_t offset,
                  const ifd::Directory *chunks, bool tiled, const Where &w, long flags)
{
    const Printed printed = Parse(text);
    bool ok = true;
    const std::vector<double> heading = Numbers(printed.heading);
    if (heading.empty() || std::any_of(heading.begin(), heading.end(), [&](double h) {
            return h != static_cast<double>(offset);
        })) {
        Said<probe::Line::PrintHeading>(w, printed.heading.c_str(), offset);
        ok = false;
    }
    std::vector<int> seen(fields.size(), 0);
    bool chunks_seen = false;
    for (const Item &item : printed.items) {
        if (chunks && IsChunks(item, tiled)) {
            if (!(flags & TIFFPRINT_STRIPS) || chunks_seen) {
                Said<probe::Line::ChunksUnasked>(w, tiled ? "tile" : "strip");
                ok = false;
            } else {
                ok = CheckChunks(item, *chunks, tiled, w) && ok;
            }
            chunks_seen = true;
            continue;
        }
        const std::string label = Normal(item.label);
        const std::string slashless = Normal(item.label, false);
        size_t i = 0;
        while (i < fields.size() &&
               std::none_of(fields[i].labels.begin(), fields[i].labels.end(),
                            [&](const std::string &l) { return l == label || l == slashless; }))
            i++;
        if (i == fields.size()) {
            Said<probe::Line::PrintedNotHeld>(w, item.label.c_str());
            ok = false;
            continue;
        }
        const Field &f = fields[i];
        if (seen[i]++) {
            Said<probe::Line::PrintedAgain>(w, f.tag, f.name.c_str());
            ok = false;
            continue;
        }
        if (f.kind == Kind::Table)
            ok = CheckTable(f, item, flags, w) && ok;
        else if (f.kind == Kind::Jpeg)
            ok = CheckJpeg(f, item, flags, w) && ok;
        else if (!ValueRight(f, item)) {
            Said<probe::Line::PrintedAs>(w, f.tag, f.name.c_str(), Shown(item).c_str(),
                                         Expected(f).c_str());
            ok = false;
        }
    }
    for (size_t i = 0; i < fields.size(); i++) {
        if (!seen[i]) {
            Said<probe::Line::PrintNotPrinted>(w, fields[i].tag, fields[i].name.c_str());
            ok = false;
        }
    }
    if (chunks && (flags & TIFFPRINT_STRIPS) && !chunks_seen) {
        Said<probe::Line::ChunksNotPrinted>(w, tiled ? "tile" : "strip");
        ok = false;
    }
    return ok;
}

// What TIFFPrintDirectory prints of the current directory, in memory.
bool PrintToMemory(TIFF *tif, long flags, std::string *text)
{
    char *buf = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buf, &size);
    if (!f)
        return false;
    TIFFPrintDirectory(tif, f, flags);
    const bool ok = fclose(f) == 0;
    if (ok && buf)
        text->assign(buf, size);
    free(buf);
    return ok;
}

bool CheckDirectory(TIFF *tif, const std::vector<Field> &fields, uint64_t offset,
                    const ifd::Directory *chunks, const char *filename, const std::string &place)
{
    const bool tiled = TIFFIsTiled(tif) != 0;
    bool ok = true;
    for (const Flags &flags : all_flags) {
        const Where w{filename, place, flags.name};
        std::string text;
        if (!PrintToMemory(tif, flags.value, &text)) {
            Said<probe::Line::CantPrint>(w);
            return false;
        }
        ok = CheckPrinted(text, fields, offset, chunks, tiled, w, flags.value) && ok;
    }
    return ok;
}

bool CheckPrints(const probe::Layout &layout)
{
    const char *name = layout.filename;
    probe::OnDisk disk;
    const size_t pages = JpegConfigured() ? 4 : 3;
    if (!probe::ReadFormat(layout, &disk) || !probe::PagesOnDisk(disk.file, pages, name))
        return false;
    const std::vector<ifd::Directory> &chain = disk.file.chain;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    if (!tif)
        return false;
    bool ok = true;
    for (unsigned k = 0; k < pages; k++) {
        if (!TIFFSetDirectory(tif, static_cast<tdir_t>(k))) {
            probe::SayCantDirectory("read", name, probe::Page(k).c_str());
            return false;
        }
        const std::vector<Field> fields = k == fields_page    ? FieldsPage(chain[k])
                                          : k == palette_page ? PalettePage()
                                          : k == curves_page  ? CurvesPage()
                                                              : JpegPage(chain[k]);
        ok = CheckDirectory(tif, fields, chain[k].offset, &chain[k], name, probe::Page(k)) && ok;
    }
    // The EXIF and GPS directories, through the offsets page 0 holds.
    struct Linked {
        uint32_t tag;
        const char *place;
        int (*read)(TIFF *, toff_t);
        std::vector<Field> (*fields)();
    };
    const Linked linked[] = {
        {TIFFTAG_EXIFIFD, "EXIF IFD", TIFFReadEXIFDirectory, ExifIfd},
        {TIFFTAG_GPSIFD, "GPS IFD", TIFFReadGPSDirectory, GpsIfd},
    };
    for (const Linked &l : linked) {
        const ifd::Entry *e = ifd::FindEntry(chain[fields_page], l.tag);
        if (!e || e->values.empty()) {
            probe::SayMissingOnDisk(l.tag, name, probe::Page(fields_page).c_str());
            return false;
        }
        if (!l.read(tif, e->values[0])) {
            probe::SayCantDirectory("read", name, l.place);
            return false;
        }
        ok = CheckDirectory(tif, l.fields(), e->values[0], nullptr, name, l.place) && ok;
    }
    return ok;
}

bool PrintTest(const probe::Layout &layout)
{
    const unsigned long messages = LibraryMessages();
    if (!WriteFile(layout))
        return false;
    const bool ok = CheckPrints(layout);
    return probe::LibraryQuiet(layout.filename, messages) && ok;
}

} // namespace

int main()
{
    CountLibraryMessages();
    fields_codec = probe::CodecOrNone(fields_codec);
    palette_codec = probe::CodecOrNone(palette_codec);
    const int status = probe::RunLayouts(layouts, PrintTest);
    // Only a run that passed says it, so that a failed run's lines are all
    // failures.
    if (status == 0) {
        probe::SayCodecSkips();
        if (!JpegConfigured())
            probe::Say<probe::Line::Skipped>("JPEG");
    }
    return status;
}
