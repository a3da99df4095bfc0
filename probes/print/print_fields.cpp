// What print_probe's directories must print: each field they hold, under
// its standard's name and the other names it may be printed under, with the
// values written.
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "print_parse.h"
#include "print_probe.h"
#include "print_values.h"

namespace print_probe {
namespace {

using prints::Normal;

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

Field Make(uint32_t tag, const char *name, Kind kind, const std::vector<const char *> &also = {})
{
    Field f{tag, name, {Normal(name)}, kind, {}, false, {}, {}, {}, 0, 0, {}};
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

// A table of 2^bits entries of three values each, printed one entry a line
// with `flag`.
Field TableField(uint32_t tag, const char *name, unsigned bits,
                 uint16_t (*value)(unsigned, unsigned), long flag)
{
    Field t = Make(tag, name, Kind::Table);
    for (unsigned i = 0; i < (1U << bits); i++) {
        for (unsigned c = 0; c < 3; c++)
            t.numbers.push_back(value(c, i));
    }
    t.flag = flag;
    t.width = 3;
    return t;
}

// The fields every image page sets, with the values of its shape.
void AddShape(std::vector<Field> *f, uint32_t width, uint32_t length, double bits, double samples,
              double photometric, std::vector<std::string> photometric_words, double compression,
              std::vector<std::string> compression_words)
{
    f->push_back(NumberField(ifd::tag::ImageWidth, "ImageWidth", {static_cast<double>(width)}));
    f->push_back(NumberField(ifd::tag::ImageLength, "ImageLength", {static_cast<double>(length)}));
    Field b = NumberField(ifd::tag::BitsPerSample, "BitsPerSample", {bits});
    b.repeated = true;
    f->push_back(b);
    f->push_back(NumberField(ifd::tag::SamplesPerPixel, "SamplesPerPixel", {samples}));
    // TIFF 6.0's names of the values; "contig" the library's constant.
    f->push_back(EnumField(ifd::tag::PlanarConfiguration, "PlanarConfiguration", 1,
                           {"chunky", "contig", "single"}));
    f->push_back(EnumField(ifd::tag::PhotometricInterpretation, "PhotometricInterpretation",
                           photometric, std::move(photometric_words)));
    f->push_back(EnumField(ifd::tag::Compression, "Compression", compression,
                           std::move(compression_words), {"Compression Scheme"}));
}

} // namespace

std::vector<Field> FieldsPage(const ifd::Directory &dir)
{
    using namespace prints;
    std::vector<Field> f;
    AddShape(&f, fields_width, fields_length, 8, fields_samples, PHOTOMETRIC_SEPARATED,
             {"separated", "cmyk"}, fields_codec, CodecWords(fields_codec));
    // TIFF 6.0 calls tag 254 NewSubfileType; its bit 1 a page of many.
    f.push_back(EnumField(ifd::tag::NewSubfileType, "NewSubfileType", subfile_type, {"page"},
                          {"Subfile Type"}));
    f.push_back(NumberField(ifd::tag::RowsPerStrip, "RowsPerStrip", {fields_rows_per_strip}));
    f.push_back(EnumField(ifd::tag::SampleFormat, "SampleFormat", SAMPLEFORMAT_UINT, {"unsigned"}));
    if (fields_codec == COMPRESSION_LZW)
        f.push_back(
            EnumField(ifd::tag::Predictor, "Predictor", PREDICTOR_HORIZONTAL, {"horizontal"}));
    // Lower columns in the higher-order bits: most significant first.
    f.push_back(EnumField(ifd::tag::FillOrder, "FillOrder", FILLORDER_MSB2LSB,
                          {"msb+lsb", "higher-order"}));
    // Row 0 the visual right-hand side, column 0 the visual top.
    f.push_back(EnumField(ifd::tag::Orientation, "Orientation", orientation,
                          {"row 0+rhs+col 0+top", "row+rhs+col+top", "row+right+column+top"}));
    f.push_back(EnumField(ifd::tag::Threshholding, "Threshholding", threshholding,
                          {"halftone", "dither"}, {"Thresholding"}));
    f.push_back(NumberField(ifd::tag::CellWidth, "CellWidth", {cell_width}));
    f.push_back(NumberField(ifd::tag::CellLength, "CellLength", {cell_length}));
    // One line for both resolutions and their unit, centimetres.
    Field res = NumberField(ifd::tag::XResolution, "XResolution", {x_resolution, y_resolution},
                            {"Resolution"});
    res.texts = {"cm", "centimet"};
    f.push_back(res);
    f.push_back(
        NumberField(ifd::tag::XPosition, "XPosition", {x_position, y_position}, {"Position"}));
    f.push_back(NumberField(ifd::tag::PageNumber, "PageNumber", List(page_number)));
    f.push_back(NumberField(ifd::tag::MinSampleValue, "MinSampleValue", {min_sample}));
    f.push_back(NumberField(ifd::tag::MaxSampleValue, "MaxSampleValue", {max_sample}));
    f.push_back(NumberField(ifd::tag::SMinSampleValue, "SMinSampleValue", {smin_sample}));
    f.push_back(NumberField(ifd::tag::SMaxSampleValue, "SMaxSampleValue", {smax_sample}));
    f.push_back(EnumField(ifd::tag::InkSet, "InkSet", ink_set, {"not cmyk"}));
    f.push_back(NumberField(ifd::tag::NumberOfInks, "NumberOfInks", {fields_samples}));
    Field names = Make(ifd::tag::InkNames, "InkNames", Kind::Names);
    names.texts.assign(std::begin(ink_names), std::end(ink_names));
    f.push_back(names);
    f.push_back(NumberField(ifd::tag::DotRange, "DotRange", List(dot_range)));
    f.push_back(NumberField(ifd::tag::HalftoneHints, "HalftoneHints", List(halftone_hints)));
    f.push_back(NumberField(ifd::tag::WhitePoint, "WhitePoint", List(white_point)));
    f.push_back(
        NumberField(ifd::tag::PrimaryChromaticities, "PrimaryChromaticities", List(primaries)));
    for (const Text &t : fields_texts)
        f.push_back(TextField(t.tag, t.name, t.value));
    Field xmp = Make(ifd::tag::XMLPacket, "XMLPacket", Kind::Packet, {"XMP"});
    xmp.text = xmp_packet;
    f.push_back(xmp);
    Field icc = Make(ifd::tag::InterColorProfile, "ICCProfile", Kind::Bytes, {"InterColorProfile"});
    icc.bytes.assign(std::begin(icc_profile), std::end(icc_profile));
    f.push_back(icc);
    // Adobe's name for tag 34377 is Photoshop, its bytes Photoshop's data.
    Field ps =
        Make(ifd::tag::Photoshop, "Photoshop", Kind::Bytes, {"Photoshop Data", "ImageSourceData"});
    ps.bytes.assign(std::begin(photoshop), std::end(photoshop));
    f.push_back(ps);
    // The links, by the offsets the file holds; EXIF names them pointers.
    for (const auto &link : {std::make_pair(ifd::tag::ExifIFD, "ExifIFD"),
                             std::make_pair(ifd::tag::GPSInfoIFD, "GPSInfoIFD")}) {
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
    f.push_back(NumberField(ifd::tag::RowsPerStrip, "RowsPerStrip", {palette_length}));
    f.push_back(
        TableField(ifd::tag::ColorMap, "ColorMap", palette_bits, PaletteEntry, TIFFPRINT_COLORMAP));
    return f;
}

std::vector<Field> CurvesPage()
{
    using namespace prints;
    std::vector<Field> f;
    AddShape(&f, curves_width, curves_length, curves_bits, 4, PHOTOMETRIC_RGB, {"rgb"},
             COMPRESSION_NONE, {"none", "no compression", "uncompressed"});
    f.push_back(NumberField(ifd::tag::TileWidth, "TileWidth", {curves_tile}));
    f.push_back(NumberField(ifd::tag::TileLength, "TileLength", {curves_tile}));
    // One value: its count, then its name.
    f.push_back(EnumField(ifd::tag::ExtraSamples, "ExtraSamples", extra_sample, {"1+unassoc"}));
    f.push_back(TableField(ifd::tag::TransferFunction, "TransferFunction", curves_bits, CurveValue,
                           TIFFPRINT_CURVES));
    f.push_back(NumberField(ifd::tag::ReferenceBlackWhite, "ReferenceBlackWhite",
                            List(reference_black_white)));
    return f;
}

std::vector<Field> JpegPage(const ifd::Directory &dir)
{
    using namespace prints;
    std::vector<Field> f;
    AddShape(&f, jpeg_side, jpeg_side, 8, 1, PHOTOMETRIC_MINISBLACK,
             {"min-is-black", "black+zero", "blackiszero"}, COMPRESSION_JPEG, {"jpeg"});
    f.push_back(NumberField(ifd::tag::RowsPerStrip, "RowsPerStrip", {jpeg_side}));
    Field tables = Make(ifd::tag::JPEGTables, "JPEGTables", Kind::Jpeg);
    const ifd::Entry *e = ifd::FindEntry(dir, ifd::tag::JPEGTables);
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
    f.push_back(NumberField(ifd::exif_tag::ExposureTime, "ExposureTime", {exposure_time}));
    f.push_back(NumberField(ifd::exif_tag::FNumber, "FNumber", {f_number}));
    // EXIF 2.32's name, and the one of the EXIF versions before it.
    f.push_back(NumberField(ifd::exif_tag::PhotographicSensitivity, "PhotographicSensitivity",
                            List(iso_speeds), {"ISOSpeedRatings"}));
    std::vector<double> version(std::begin(exif_version), std::end(exif_version));
    Field v = NumberField(ifd::exif_tag::ExifVersion, "ExifVersion", version);
    v.kind = Kind::Bytes;
    v.bytes.assign(std::begin(exif_version), std::end(exif_version));
    v.text = std::string(exif_version, sizeof(exif_version));
    f.push_back(v);
    f.push_back(TextField(ifd::exif_tag::DateTimeOriginal, "DateTimeOriginal", date_time_original));
    f.push_back(
        NumberField(ifd::exif_tag::ExposureBiasValue, "ExposureBiasValue", {exposure_bias}));
    f.push_back(EnumField(ifd::exif_tag::MeteringMode, "MeteringMode", metering_mode, {"pattern"}));
    Field c = Make(ifd::exif_tag::UserComment, "UserComment", Kind::Bytes);
    c.bytes.assign(std::begin(user_comment), std::end(user_comment));
    f.push_back(c);
    f.push_back(
        NumberField(ifd::exif_tag::PixelXDimension, "PixelXDimension", {pixel_x_dimension}));
    f.push_back(NumberField(ifd::exif_tag::LensSpecification, "LensSpecification",
                            List(lens_specification)));
    f.push_back(TextField(ifd::exif_tag::LensMake, "LensMake", lens_make));
    return f;
}

std::vector<Field> GpsIfd()
{
    using namespace prints;
    static const char method[] = "ASCII\0\0\0probe";
    std::vector<Field> f;
    Field v = Make(ifd::gps_tag::GPSVersionID, "GPSVersionID", Kind::Bytes);
    v.bytes.assign(std::begin(gps_version), std::end(gps_version));
    f.push_back(v);
    f.push_back(TextField(ifd::gps_tag::GPSLatitudeRef, "GPSLatitudeRef", gps_latitude_ref));
    f.push_back(NumberField(ifd::gps_tag::GPSLatitude, "GPSLatitude", List(gps_latitude)));
    f.push_back(
        EnumField(ifd::gps_tag::GPSAltitudeRef, "GPSAltitudeRef", gps_altitude_ref, {"below"}));
    f.push_back(NumberField(ifd::gps_tag::GPSAltitude, "GPSAltitude", {gps_altitude}));
    f.push_back(NumberField(ifd::gps_tag::GPSTimeStamp, "GPSTimeStamp", List(gps_time_stamp)));
    Field m = Make(ifd::gps_tag::GPSProcessingMethod, "GPSProcessingMethod", Kind::Bytes);
    m.bytes.assign(method, method + sizeof(method) - 1);
    f.push_back(m);
    f.push_back(TextField(ifd::gps_tag::GPSDateStamp, "GPSDateStamp", gps_date_stamp));
    f.push_back(EnumField(ifd::gps_tag::GPSDifferential, "GPSDifferential", gps_differential,
                          {"correction applied"}));
    // Within the GPS directory its prefix may go.
    for (Field &field : f)
        field.labels.push_back(Normal(field.name.substr(3)));
    return f;
}

} // namespace print_probe
