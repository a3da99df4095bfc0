// print_probe's generated cases: directories built in memory, never
// written, each printed and held to what was set. From tables of the
// standards' values: every value of each enumerated field and one they do
// not name, the fields no page of the file sets, private fields of every
// type and texts with characters a printer escapes.
#include <algorithm>
#include <iterator>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <tiffio.h>

#include "memory_file.h"
#include "print_parse.h"
#include "print_probe.h"
#include "print_values.h"
#include "probe_support.h"

namespace print_probe {
namespace {

using prints::Normal;

// --- The enumerated fields -----------------------------------------------

struct Value {
    uint32_t value;
    std::vector<std::string> words;  // the standard's, any of them
    std::vector<std::string> unlike; // words of another value they are part of
};

struct EnumRow {
    uint32_t tag;
    const char *name;
    std::vector<const char *> also; // the short names it may be printed under
    std::vector<Value> values;
    // A value the standards do not name, printed as its number; 0 where the
    // library refuses such a value, as TIFFSetField(3tiff) lets it.
    uint32_t unnamed;
    uint16_t compression; // of the case's directory
};

const char *const none_words[] = {"none", "no compression", "uncompressed"};

// Orientation's rows: where row 0 and column 0 lie, TIFF 6.0's words.
Value OrientationValue(uint32_t value, const char *row, const char *row_long, const char *col,
                       const char *col_long)
{
    return {value,
            {std::string("row 0+") + row + "+col 0+" + col,
             std::string("row+") + row + "+col+" + col,
             std::string("row+") + row_long + "+column+" + col_long},
            {}};
}

const std::vector<EnumRow> &EnumRows()
{
    static const std::vector<EnumRow> rows = [] {
        std::vector<EnumRow> r;
        // TIFF 6.0's bits of NewSubfileType, TIFF-FX's MRC bit; bit 4 none's.
        r.push_back({TIFFTAG_SUBFILETYPE,
                     "NewSubfileType",
                     {"Subfile Type"},
                     {{0, {}, {}},
                      {1, {"reduced"}, {}},
                      {2, {"page"}, {}},
                      {4, {"transparency mask"}, {}},
                      {7, {"reduced+page+transparency"}, {}},
                      {8, {"mixed raster", "mrc"}, {}}},
                     16,
                     COMPRESSION_NONE});
        // TIFF 6.0, TIFF Technical Note 2 (6, 7), TIFF-FX (9, 10), DNG
        // (8, 34892).
        r.push_back({TIFFTAG_COMPRESSION,
                     "Compression",
                     {"Compression Scheme"},
                     {{COMPRESSION_NONE, {none_words[0], none_words[1], none_words[2]}, {}},
                      {COMPRESSION_CCITTRLE, {"huffman", "ccitt+rle", "run length"}, {}},
                      {COMPRESSION_CCITTFAX3, {"group 3", "t.4", "t4"}, {}},
                      {COMPRESSION_CCITTFAX4, {"group 4", "t.6", "t6"}, {}},
                      {COMPRESSION_LZW, {"lzw"}, {}},
                      {COMPRESSION_OJPEG, {"old-style jpeg", "old jpeg"}, {}},
                      {COMPRESSION_JPEG, {"jpeg"}, {"old"}},
                      {COMPRESSION_ADOBE_DEFLATE, {"deflate"}, {}},
                      {COMPRESSION_T85, {"jbig"}, {}},
                      {COMPRESSION_T43, {"jbig"}, {}},
                      {COMPRESSION_PACKBITS, {"packbits"}, {}},
                      {34892, {"lossy jpeg"}, {}}},
                     99,
                     0});
        // TIFF 6.0's 0 to 8, TIFF/EP's CFA, DNG's LinearRaw and Depth, the
        // LogLuv note's LogL and LogLuv, ICCLab and ITULab of TIFF-FX.
        r.push_back({TIFFTAG_PHOTOMETRIC,
                     "PhotometricInterpretation",
                     {},
                     {{0, {"min-is-white", "white+zero", "whiteiszero"}, {}},
                      {1, {"min-is-black", "black+zero", "blackiszero"}, {}},
                      {2, {"rgb"}, {}},
                      {3, {"palette"}, {}},
                      {4, {"transparency mask"}, {}},
                      {5, {"separated", "cmyk"}, {}},
                      {6, {"ycbcr"}, {}},
                      {8, {"cie+l*a*b*", "cielab"}, {"icc", "itu"}},
                      {9, {"icc+l*a*b*", "icclab"}, {}},
                      {10, {"itu+l*a*b*", "itulab"}, {}},
                      {32803, {"cfa", "color filter array"}, {}},
                      {32844, {"logl", "log+l"}, {"u"}},
                      {32845, {"logluv", "log+l+u+v"}, {}},
                      {34892, {"linearraw", "linear raw"}, {}},
                      {51177, {"depth"}, {}}},
                     7,
                     COMPRESSION_NONE});
        r.push_back({TIFFTAG_THRESHHOLDING,
                     "Threshholding",
                     {"Thresholding"},
                     {{1, {"bilevel", "no dithering"}, {}},
                      {2, {"halftone", "dither"}, {}},
                      {3, {"error diffus"}, {}}},
                     4,
                     COMPRESSION_NONE});
        r.push_back({TIFFTAG_FILLORDER,
                     "FillOrder",
                     {},
                     {{1, {"msb+lsb", "higher-order"}, {"lsb+msb"}},
                      {2, {"lsb+msb", "lower-order"}, {"msb+lsb"}}},
                     0,
                     COMPRESSION_NONE});
        r.push_back({TIFFTAG_ORIENTATION,
                     "Orientation",
                     {},
                     {OrientationValue(1, "top", "top", "lhs", "left"),
                      OrientationValue(2, "top", "top", "rhs", "right"),
                      OrientationValue(3, "bottom", "bottom", "rhs", "right"),
                      OrientationValue(4, "bottom", "bottom", "lhs", "left"),
                      OrientationValue(5, "lhs", "left", "top", "top"),
                      OrientationValue(6, "rhs", "right", "top", "top"),
                      OrientationValue(7, "rhs", "right", "bottom", "bottom"),
                      OrientationValue(8, "lhs", "left", "bottom", "bottom")},
                     0,
                     COMPRESSION_NONE});
        r.push_back({TIFFTAG_PLANARCONFIG,
                     "PlanarConfiguration",
                     {},
                     {{1, {"chunky", "contig", "single"}, {}}, {2, {"planar", "separate"}, {}}},
                     0,
                     COMPRESSION_NONE});
        r.push_back({TIFFTAG_INKSET,
                     "InkSet",
                     {},
                     {{1, {"cmyk"}, {"not"}}, {2, {"not cmyk"}, {}}},
                     3,
                     COMPRESSION_NONE});
        // TIFF 6.0's 1 to 4; the complex ones libtiff's header names.
        r.push_back({TIFFTAG_SAMPLEFORMAT,
                     "SampleFormat",
                     {},
                     {{1, {"unsigned"}, {"complex"}},
                      {2, {"signed", "two's complement"}, {"unsigned", "complex"}},
                      {3, {"floating point", "ieee"}, {"complex"}},
                      {4, {"void", "undefined"}, {}},
                      {5, {"complex+signed", "complex+int"}, {"float"}},
                      {6, {"complex+float", "complex+ieee"}, {}}},
                     0,
                     COMPRESSION_NONE});
        // One value: its count, then its name.
        r.push_back(
            {TIFFTAG_EXTRASAMPLES,
             "ExtraSamples",
             {},
             {{0, {"1+unspecified"}, {}}, {1, {"1+assoc"}, {"unassoc"}}, {2, {"1+unassoc"}, {}}},
             0,
             COMPRESSION_NONE});
        r.push_back({TIFFTAG_YCBCRPOSITIONING,
                     "YCbCrPositioning",
                     {},
                     {{1, {"centered"}, {}}, {2, {"cosited", "co-sited"}, {}}},
                     3,
                     COMPRESSION_NONE});
        // A codec's field: TIFF 6.0's 1 and 2, Adobe's floating point 3.
        r.push_back({TIFFTAG_PREDICTOR,
                     "Predictor",
                     {},
                     {{1, {"none"}, {}}, {2, {"horizontal"}, {}}, {3, {"floating"}, {}}},
                     0,
                     COMPRESSION_LZW});
        return r;
    }();
    return rows;
}

// The fields every case's directory holds: its size and codec.
constexpr uint32_t case_width = 5;
constexpr uint32_t case_length = 4;

Field Numbers(uint32_t tag, const char *name, std::vector<double> numbers,
              const std::vector<const char *> &also = {})
{
    Field f{tag, name, {Normal(name)}, Kind::Numbers, std::move(numbers), false, {}, {}, {}, 0,
            0,   {}};
    for (const char *a : also)
        f.labels.push_back(Normal(a));
    return f;
}

Field Enum(const EnumRow &row, const Value &v, bool named)
{
    Field f = Numbers(row.tag, row.name, {static_cast<double>(v.value)}, row.also);
    f.kind = Kind::Enum;
    if (named) {
        f.texts.assign(v.words.begin(), v.words.end());
        f.unlike.assign(v.unlike.begin(), v.unlike.end());
    }
    return f;
}

std::vector<Field> CaseShape(uint16_t compression, bool with_compression = true)
{
    std::vector<Field> f = {
        Numbers(TIFFTAG_IMAGEWIDTH, "ImageWidth", {case_width}),
        Numbers(TIFFTAG_IMAGELENGTH, "ImageLength", {case_length}),
    };
    if (with_compression) {
        const EnumRow &codecs = EnumRows()[1];
        for (const Value &v : codecs.values) {
            if (v.value == compression)
                f.push_back(Enum(codecs, v, true));
        }
    }
    return f;
}

struct Case {
    std::string place;
    std::function<bool(TIFF *)> set;
    std::vector<Field> fields;
    bool every_flag = false;
};

// Builds each case in a handle of its own over memory, named `name` (the
// lines' NAME, and what the fault shim counts prints by; no file has it),
// and checks its print. `mode` "w" or "w8".
bool RunCases(const char *name, const char *mode, const std::vector<Case> &cases,
              const std::function<void(TIFF *)> &prepare = nullptr)
{
    const unsigned long messages = LibraryMessages();
    bool ok = true;
    for (const Case &c : cases) {
        probe::OwnMemory mem;
        TIFF *tif = probe::OpenMemory(name, mode, &mem.file);
        if (!tif) {
            probe::Say<probe::Line::CantOpen>(name);
            return false;
        }
        if (prepare)
            prepare(tif);
        const bool set = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, case_width) &&
                         TIFFSetField(tif, TIFFTAG_IMAGELENGTH, case_length) && c.set(tif);
        if (!set)
            probe::Say<probe::Line::ShapeNotSet>(name, c.place.c_str());
        else
            ok = CheckDirectory(tif, c.fields, 0, nullptr, name, c.place, c.every_flag) && ok;
        TIFFClose(tif);
        ok = ok && set;
    }
    return probe::LibraryQuiet(name, messages) && ok;
}

std::vector<Case> EnumCases()
{
    std::vector<Case> cases;
    for (const EnumRow &row : EnumRows()) {
        std::vector<std::pair<Value, bool>> values;
        for (const Value &v : row.values)
            values.emplace_back(v, true);
        if (row.unnamed)
            values.emplace_back(Value{row.unnamed, {}, {}}, false);
        for (const auto &[v, named] : values) {
            Case c;
            c.place = std::string(row.name) + " " + std::to_string(v.value);
            const uint32_t tag = row.tag;
            const uint32_t value = v.value;
            const uint16_t codec = row.compression;
            const bool is_codec = tag == TIFFTAG_COMPRESSION;
            c.set = [tag, value, codec, is_codec](TIFF *tif) {
                if (!is_codec && !TIFFSetField(tif, TIFFTAG_COMPRESSION, codec))
                    return false;
                // The JPEG codecs print YCbCr subsampling: set, so held. The
                // old-style codec takes it from its stream (Technical Note
                // 2), TIFF 6.0's default 2, 2 until then.
                if (is_codec && value == COMPRESSION_JPEG &&
                    !TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 1))
                    return false;
                if (tag == TIFFTAG_EXTRASAMPLES) {
                    const uint16_t extra[1] = {static_cast<uint16_t>(value)};
                    return TIFFSetField(tif, tag, 1, extra) != 0;
                }
                if (tag == TIFFTAG_SUBFILETYPE)
                    return TIFFSetField(tif, tag, value) != 0;
                return TIFFSetField(tif, tag, static_cast<int>(value)) != 0;
            };
            c.fields = CaseShape(codec, !is_codec);
            c.fields.push_back(Enum(row, v, named));
            if (is_codec && (value == COMPRESSION_JPEG || value == COMPRESSION_OJPEG))
                c.fields.push_back(Numbers(TIFFTAG_YCBCRSUBSAMPLING, "YCbCrSubSampling",
                                           {2, value == COMPRESSION_JPEG ? 1.0 : 2.0}));
            cases.push_back(std::move(c));
        }
    }
    // ResolutionUnit: printed with the resolutions, on their line.
    const std::pair<uint16_t, std::vector<std::string>> units[] = {
        {RESUNIT_NONE, {"no absolute", "unitless", "none"}},
        {RESUNIT_INCH, {"inch"}},
        {RESUNIT_CENTIMETER, {"centimet", "cm"}},
    };
    for (const auto &[unit, words] : units) {
        Case c;
        c.place = "ResolutionUnit " + std::to_string(unit);
        const uint16_t u = unit;
        c.set = [u](TIFF *tif) {
            return TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
                   TIFFSetField(tif, TIFFTAG_XRESOLUTION, 96.5) &&
                   TIFFSetField(tif, TIFFTAG_YRESOLUTION, 48.25) &&
                   TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, u);
        };
        c.fields = CaseShape(COMPRESSION_NONE);
        Field res = Numbers(TIFFTAG_XRESOLUTION, "XResolution", {96.5, 48.25}, {"Resolution"});
        res.texts = words;
        c.fields.push_back(res);
        cases.push_back(std::move(c));
    }
    return cases;
}

// --- The fields no page sets ---------------------------------------------

std::vector<Case> FieldCases()
{
    std::vector<Case> cases;
    const auto shape = [](TIFF *tif) {
        return TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) != 0;
    };
    {
        // A tiled volume of three samples, each with its own range.
        Case c;
        c.place = "volume";
        c.every_flag = true;
        c.set = [shape](TIFF *tif) {
            const double smin[3] = {1.5, 2.5, 3.5};
            const double smax[3] = {200.25, 210.25, 220.25};
            const float coefficients[3] = {0.25F, 0.5F, 0.125F};
            const uint64_t subifds[2] = {1000, 2000};
            // The values of each sample in and out (TIFFSetField(3tiff)).
            const bool ok = shape(tif) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) &&
                            TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16) &&
                            TIFFSetField(tif, TIFFTAG_TILELENGTH, 32) &&
                            TIFFSetField(tif, TIFFTAG_IMAGEDEPTH, 6) &&
                            TIFFSetField(tif, TIFFTAG_TILEDEPTH, 2) &&
                            TIFFSetField(tif, TIFFTAG_PERSAMPLE, PERSAMPLE_MULTI) &&
                            TIFFSetField(tif, TIFFTAG_SMINSAMPLEVALUE, smin) &&
                            TIFFSetField(tif, TIFFTAG_SMAXSAMPLEVALUE, smax) &&
                            TIFFSetField(tif, TIFFTAG_STONITS, 0.75) &&
                            TIFFSetField(tif, TIFFTAG_YCBCRCOEFFICIENTS, coefficients) &&
                            TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 4, 2) &&
                            TIFFSetField(tif, TIFFTAG_SUBIFD, 2, subifds);
            return ok;
        };
        c.fields = CaseShape(COMPRESSION_NONE);
        c.fields.push_back(Numbers(TIFFTAG_SAMPLESPERPIXEL, "SamplesPerPixel", {3}));
        c.fields.push_back(Numbers(TIFFTAG_TILEWIDTH, "TileWidth", {16}));
        c.fields.push_back(Numbers(TIFFTAG_TILELENGTH, "TileLength", {32}));
        c.fields.push_back(Numbers(TIFFTAG_IMAGEDEPTH, "ImageDepth", {6}));
        c.fields.push_back(Numbers(TIFFTAG_TILEDEPTH, "TileDepth", {2}));
        c.fields.push_back(Numbers(TIFFTAG_SMINSAMPLEVALUE, "SMinSampleValue", {1.5, 2.5, 3.5}));
        c.fields.push_back(
            Numbers(TIFFTAG_SMAXSAMPLEVALUE, "SMaxSampleValue", {200.25, 210.25, 220.25}));
        c.fields.push_back(
            Numbers(TIFFTAG_STONITS, "StoNits", {0.75}, {"Sample to Nits conversion factor"}));
        c.fields.push_back(
            Numbers(TIFFTAG_YCBCRCOEFFICIENTS, "YCbCrCoefficients", {0.25, 0.5, 0.125}));
        c.fields.push_back(Numbers(TIFFTAG_YCBCRSUBSAMPLING, "YCbCrSubSampling", {4, 2}));
        c.fields.push_back(Numbers(TIFFTAG_SUBIFD, "SubIFDs", {1000, 2000}, {"SubIFD Offsets"}));
        cases.push_back(std::move(c));
    }
    {
        // The ink names of two inks, with characters a printer escapes.
        Case c;
        c.place = "escaped ink names";
        static const char inks[] = "tab\there\0back\\slash\x01q\0";
        c.set = [shape](TIFF *tif) {
            return shape(tif) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 2) &&
                   TIFFSetField(tif, TIFFTAG_INKNAMES, static_cast<int>(sizeof(inks) - 1), inks);
        };
        c.fields = CaseShape(COMPRESSION_NONE);
        c.fields.push_back(Numbers(TIFFTAG_SAMPLESPERPIXEL, "SamplesPerPixel", {2}));
        c.fields.push_back(Numbers(TIFFTAG_NUMBEROFINKS, "NumberOfInks", {2}));
        Field names = Numbers(TIFFTAG_INKNAMES, "InkNames", {});
        names.kind = Kind::Names;
        names.texts = {"tab\there", "back\\slash\x01q"};
        c.fields.push_back(names);
        cases.push_back(std::move(c));
    }
    {
        // TIFF 6.0's HalftoneHints and the cell of a dithered page,
        // CellWidth and CellLength, on a bilevel image.
        Case c;
        c.place = "halftone";
        c.every_flag = true;
        c.set = [shape](TIFF *tif) {
            return shape(tif) && TIFFSetField(tif, TIFFTAG_THRESHHOLDING, 2) &&
                   TIFFSetField(tif, TIFFTAG_CELLWIDTH, 5) &&
                   TIFFSetField(tif, TIFFTAG_CELLLENGTH, 3) &&
                   TIFFSetField(tif, TIFFTAG_HALFTONEHINTS, 12, 243);
        };
        c.fields = CaseShape(COMPRESSION_NONE);
        const EnumRow &thresh = EnumRows()[3];
        c.fields.push_back(Enum(thresh, thresh.values[1], true));
        c.fields.push_back(Numbers(TIFFTAG_CELLWIDTH, "CellWidth", {5}));
        c.fields.push_back(Numbers(TIFFTAG_CELLLENGTH, "CellLength", {3}));
        c.fields.push_back(Numbers(TIFFTAG_HALFTONEHINTS, "HalftoneHints", {12, 243}));
        cases.push_back(std::move(c));
    }
    {
        // RowsPerStrip's default, 2^32 - 1: the entire image one strip.
        Case c;
        c.place = "one strip";
        c.set = [shape](TIFF *tif) {
            return shape(tif) && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, UINT32_MAX);
        };
        c.fields = CaseShape(COMPRESSION_NONE);
        Field rows = Numbers(TIFFTAG_ROWSPERSTRIP, "RowsPerStrip", {UINT32_MAX});
        rows.kind = Kind::Enum;
        rows.texts = {"infinite", "entire image", "one strip"};
        c.fields.push_back(rows);
        cases.push_back(std::move(c));
    }
    {
        // IPTC data, LONGs as the tag's type gives it (TIFFSetField(3tiff):
        // a count and the data): three LONGs, 12 bytes.
        Case c;
        c.place = "iptc";
        static const uint32_t iptc[3] = {0x1c020000U, 0x05000a1cU, 0x02050004U};
        c.set = [shape](TIFF *tif) {
            return shape(tif) && TIFFSetField(tif, TIFFTAG_RICHTIFFIPTC, 3U, iptc);
        };
        c.fields = CaseShape(COMPRESSION_NONE);
        Field data =
            Numbers(TIFFTAG_RICHTIFFIPTC, "RichTIFFIPTC", {}, {"RichTIFFIPTC Data", "IPTC"});
        data.kind = Kind::Bytes;
        const auto *b = reinterpret_cast<const uint8_t *>(iptc);
        data.bytes.assign(b, b + sizeof(iptc));
        c.fields.push_back(data);
        cases.push_back(std::move(c));
    }
    return cases;
}

// --- Private fields of every type ----------------------------------------

struct PrivateType {
    TIFFDataType type;
    const char *name;
    std::vector<double> one;  // a single value
    std::vector<double> many; // an array
};

// Every value distinct, each exact in the type and in six decimals.
// Built before main, from constants: a throw is an allocation failure at start-up.
// NOLINTNEXTLINE(cert-err58-cpp)
const PrivateType private_types[] = {
    {TIFF_BYTE, "BYTE", {201}, {11, 12, 13}},
    {TIFF_SBYTE, "SBYTE", {-7}, {-1, -2, 3}},
    {TIFF_SHORT, "SHORT", {300}, {301, 302, 65535}},
    {TIFF_SSHORT, "SSHORT", {-300}, {-301, 302, -32768}},
    {TIFF_LONG, "LONG", {70000}, {70001, 4294967295.0}},
    {TIFF_SLONG, "SLONG", {-70000}, {-70001, 2147483647}},
    {TIFF_RATIONAL, "RATIONAL", {1.5}, {0.5, 0.25, 1000}},
    {TIFF_SRATIONAL, "SRATIONAL", {-1.5}, {-0.5, 0.75}},
    {TIFF_FLOAT, "FLOAT", {2.5}, {0.125, -4}},
    {TIFF_DOUBLE, "DOUBLE", {2.25}, {1.125, -2.5, 1e10}},
    {TIFF_UNDEFINED, "UNDEFINED", {9}, {4, 5, 6}},
    {TIFF_IFD, "IFD", {70004}, {70005, 70006}},
    {TIFF_LONG8, "LONG8", {5000000000.0}, {5000000001.0, 7}},
    {TIFF_SLONG8, "SLONG8", {-5000000000.0}, {-5000000001.0, 8}},
    {TIFF_IFD8, "IFD8", {6000000000.0}, {6000000001.0, 9}},
};

constexpr uint32_t private_one = 65000;   // + the type: one value
constexpr uint32_t private_many = 65100;  // + the type: an array
constexpr uint32_t private_text = 65200;  // ASCII texts, one a tag
constexpr uint32_t private_three = 65300; // + the type: three values, no count passed
constexpr uint32_t private_short = 65400; // + the type: an array, a 16-bit count passed

// The three-value and 16-bit-count arrays' values, from the others.
std::vector<double> Three(const PrivateType &t)
{
    return {t.one[0], t.many[0], t.many[1]};
}

std::vector<double> Reversed(const PrivateType &t)
{
    return std::vector<double>(t.many.rbegin(), t.many.rend());
}

// Texts with characters a printer escapes; none ends in white space.
const char *const private_texts[] = {
    "tab\there, \"quoted\", back\\slash",
    "bell\a\x01 del\x7f high\xe9\xff end",
    "two\nlines",
    "cr\rbs\bff\fvt\v!",
};

std::string PrivateName(const char *what, const char *type)
{
    return std::string("PrintPrivate") + what + type;
}

std::vector<TIFFFieldInfo> &PrivateInfos()
{
    static std::vector<std::string> names;
    static std::vector<TIFFFieldInfo> infos;
    if (!infos.empty())
        return infos;
    names.reserve(128);
    for (const PrivateType &t : private_types) {
        names.push_back(PrivateName("One", t.name));
        infos.push_back({static_cast<ttag_t>(private_one + t.type), 1, 1, t.type, FIELD_CUSTOM, 1,
                         0, names.back().data()});
        names.push_back(PrivateName("Many", t.name));
        infos.push_back({static_cast<ttag_t>(private_many + t.type), TIFF_VARIABLE2, TIFF_VARIABLE2,
                         t.type, FIELD_CUSTOM, 1, 1, names.back().data()});
    }
    for (size_t i = 0; i < sizeof(private_texts) / sizeof(private_texts[0]); i++) {
        names.push_back("PrintPrivateText" + std::to_string(i));
        infos.push_back({static_cast<ttag_t>(private_text + i), -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1,
                         0, names.back().data()});
    }
    for (const PrivateType &t : private_types) {
        names.push_back(PrivateName("Three", t.name));
        infos.push_back({static_cast<ttag_t>(private_three + t.type), 3, 3, t.type, FIELD_CUSTOM, 1,
                         0, names.back().data()});
        names.push_back(PrivateName("Short", t.name));
        infos.push_back({static_cast<ttag_t>(private_short + t.type), TIFF_VARIABLE, TIFF_VARIABLE,
                         t.type, FIELD_CUSTOM, 1, 1, names.back().data()});
    }
    return infos;
}

// The values as TIFFSetField takes an array of the field's type, as wide as
// TIFFFieldSetGetSize says.
std::vector<uint8_t> Packed(TIFF *tif, uint32_t tag, TIFFDataType type,
                            const std::vector<double> &values)
{
    const TIFFField *fip = TIFFFieldWithTag(tif, tag);
    const int size = fip ? TIFFFieldSetGetSize(fip) : 0;
    std::vector<uint8_t> out;
    for (double v : values) {
        uint8_t b[8] = {};
        const bool real = type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT ||
                          type == TIFF_DOUBLE;
        if (real && size == 4) {
            const auto f = static_cast<float>(v);
            memcpy(b, &f, 4);
        } else if (real) {
            memcpy(b, &v, 8);
        } else if (size == 1) {
            b[0] = static_cast<uint8_t>(static_cast<int64_t>(v));
        } else if (size == 2) {
            const auto s = static_cast<uint16_t>(static_cast<int64_t>(v));
            memcpy(b, &s, 2);
        } else if (size == 4) {
            const auto l = static_cast<uint32_t>(static_cast<int64_t>(v));
            memcpy(b, &l, 4);
        } else {
            const auto l =
                v < 0 ? static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
            memcpy(b, &l, 8);
        }
        out.insert(out.end(), b, b + (size > 0 ? size : 8));
    }
    return out;
}

// One value passed as the variadic call takes it: promoted to int or
// double, or as 32 or 64 bits.
bool SetOne(TIFF *tif, uint32_t tag, TIFFDataType type, double v)
{
    switch (type) {
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_FLOAT:
    case TIFF_DOUBLE:
        return TIFFSetField(tif, tag, v) != 0;
    case TIFF_LONG:
    case TIFF_IFD:
        return TIFFSetField(tif, tag, static_cast<uint32_t>(v)) != 0;
    case TIFF_SLONG:
        return TIFFSetField(tif, tag, static_cast<int32_t>(v)) != 0;
    case TIFF_LONG8:
    case TIFF_IFD8:
        return TIFFSetField(tif, tag, static_cast<uint64_t>(v)) != 0;
    case TIFF_SLONG8:
        return TIFFSetField(tif, tag, static_cast<int64_t>(v)) != 0;
    default:
        return TIFFSetField(tif, tag, static_cast<int>(v)) != 0;
    }
}

std::vector<Case> PrivateCases()
{
    Case c;
    c.place = "private fields";
    c.every_flag = true;
    c.set = [](TIFF *tif) {
        if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE))
            return false;
        for (const PrivateType &t : private_types) {
            const uint32_t many = private_many + t.type;
            const std::vector<uint8_t> packed = Packed(tif, many, t.type, t.many);
            if (!SetOne(tif, private_one + t.type, t.type, t.one[0]) ||
                !TIFFSetField(tif, many, static_cast<uint32_t>(t.many.size()), packed.data()))
                return false;
        }
        for (size_t i = 0; i < sizeof(private_texts) / sizeof(private_texts[0]); i++) {
            if (!TIFFSetField(tif, static_cast<uint32_t>(private_text + i), private_texts[i]))
                return false;
        }
        // After the others, so that their lines stay where they are.
        return std::all_of(
            std::begin(private_types), std::end(private_types), [&](const PrivateType &t) {
                const uint32_t three = private_three + t.type;
                const uint32_t shorter = private_short + t.type;
                const std::vector<uint8_t> values = Packed(tif, three, t.type, Three(t));
                const std::vector<uint8_t> reversed = Packed(tif, shorter, t.type, Reversed(t));
                return TIFFSetField(tif, three, values.data()) &&
                       TIFFSetField(tif, shorter, static_cast<int>(t.many.size()), reversed.data());
            });
    };
    c.fields = CaseShape(COMPRESSION_NONE);
    for (const PrivateType &t : private_types) {
        c.fields.push_back(Numbers(private_one + t.type, "", t.one));
        c.fields.back().name = PrivateName("One", t.name);
        c.fields.back().labels = {Normal(c.fields.back().name)};
        c.fields.push_back(Numbers(private_many + t.type, "", t.many));
        c.fields.back().name = PrivateName("Many", t.name);
        c.fields.back().labels = {Normal(c.fields.back().name)};
        c.fields.push_back(Numbers(private_three + t.type, "", Three(t)));
        c.fields.back().name = PrivateName("Three", t.name);
        c.fields.back().labels = {Normal(c.fields.back().name)};
        c.fields.push_back(Numbers(private_short + t.type, "", Reversed(t)));
        c.fields.back().name = PrivateName("Short", t.name);
        c.fields.back().labels = {Normal(c.fields.back().name)};
    }
    for (size_t i = 0; i < sizeof(private_texts) / sizeof(private_texts[0]); i++) {
        const std::string name = "PrintPrivateText" + std::to_string(i);
        Field f = Numbers(static_cast<uint32_t>(private_text + i), "", {});
        f.name = name;
        f.labels = {Normal(name)};
        f.kind = Kind::Text;
        f.text = private_texts[i];
        c.fields.push_back(f);
    }
    return {c};
}

} // namespace

bool CheckCases()
{
    bool ok = RunCases("print_enums", "w", EnumCases());
    ok = RunCases("print_fields", "w", FieldCases()) && ok;
    // BigTIFF, which holds the 64-bit types.
    ok = RunCases("print_private", "w8", PrivateCases(),
                  [](TIFF *tif) {
                      std::vector<TIFFFieldInfo> &infos = PrivateInfos();
                      TIFFMergeFieldInfo(tif, infos.data(), static_cast<uint32_t>(infos.size()));
                  }) &&
         ok;
    return ok;
}

} // namespace print_probe
