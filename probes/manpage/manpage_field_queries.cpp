// The field query pages, held to TIFFGetField(3tiff)'s table, and the
// handler calls.
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "manpage_probe.h"

namespace manpage {

// --- The field query pages, against the TIFFGetField(3tiff) table ---

// How TIFFGetField's table passes a field: one value, two values, one
// pointer to an array (no count), or a count (uint16_t or uint32_t) then a
// pointer.
enum class Args { One, Two, Pointer, Count16, Count32 };

constexpr uint32_t Type(TIFFDataType t)
{
    return uint32_t{1} << t;
}
constexpr uint32_t B = Type(TIFF_BYTE), A = Type(TIFF_ASCII), S = Type(TIFF_SHORT),
                   L = Type(TIFF_LONG), R = Type(TIFF_RATIONAL), U = Type(TIFF_UNDEFINED),
                   D = Type(TIFF_DOUBLE), L8 = Type(TIFF_LONG8), I = Type(TIFF_IFD),
                   I8 = Type(TIFF_IFD8);
// Any numeric type: SMinSampleValue and SMaxSampleValue take the image's,
// which a description made before there is an image cannot name, so it
// may say TIFF_NOTYPE (TIFF_ANY) as well.
constexpr uint32_t N = B | S | L | R | D | Type(TIFF_SBYTE) | Type(TIFF_SSHORT) | Type(TIFF_SLONG) |
                       Type(TIFF_SRATIONAL) | Type(TIFF_FLOAT) | Type(TIFF_NOTYPE);

struct FieldRow {
    const char *name; // the standard's name
    uint32_t tag;
    Args args;
    int size;       // the size of one value passed, for One; else 0
    uint32_t types; // the types the standard allows
};

// Each row as TIFFGetField(3tiff)'s table lists it; the names and types
// from TIFF 6.0, XMP (XMLPacket), Photoshop's and ICC's notes and the
// LogLuv note (StoNits).
constexpr FieldRow field_rows[] = {
    {"ImageWidth", TIFFTAG_IMAGEWIDTH, Args::One, 4, S | L},
    {"ImageLength", TIFFTAG_IMAGELENGTH, Args::One, 4, S | L},
    {"BitsPerSample", TIFFTAG_BITSPERSAMPLE, Args::One, 2, S},
    {"Compression", TIFFTAG_COMPRESSION, Args::One, 2, S},
    {"PhotometricInterpretation", TIFFTAG_PHOTOMETRIC, Args::One, 2, S},
    {"FillOrder", TIFFTAG_FILLORDER, Args::One, 2, S},
    {"ImageDescription", TIFFTAG_IMAGEDESCRIPTION, Args::Pointer, 0, A},
    {"Orientation", TIFFTAG_ORIENTATION, Args::One, 2, S},
    {"SamplesPerPixel", TIFFTAG_SAMPLESPERPIXEL, Args::One, 2, S},
    {"RowsPerStrip", TIFFTAG_ROWSPERSTRIP, Args::One, 4, S | L},
    {"XResolution", TIFFTAG_XRESOLUTION, Args::One, 4, R},
    {"PlanarConfiguration", TIFFTAG_PLANARCONFIG, Args::One, 2, S},
    {"ResolutionUnit", TIFFTAG_RESOLUTIONUNIT, Args::One, 2, S},
    {"PageNumber", TIFFTAG_PAGENUMBER, Args::Two, 0, S},
    {"WhitePoint", TIFFTAG_WHITEPOINT, Args::Pointer, 0, R},
    {"ColorMap", TIFFTAG_COLORMAP, Args::Pointer, 0, S},
    {"HalftoneHints", TIFFTAG_HALFTONEHINTS, Args::Two, 0, S},
    {"TileWidth", TIFFTAG_TILEWIDTH, Args::One, 4, S | L},
    {"DotRange", TIFFTAG_DOTRANGE, Args::Two, 0, B | S},
    {"ExtraSamples", TIFFTAG_EXTRASAMPLES, Args::Count16, 0, S},
    {"YCbCrSubsampling", TIFFTAG_YCBCRSUBSAMPLING, Args::Two, 0, S},
    {"YCbCrPositioning", TIFFTAG_YCBCRPOSITIONING, Args::One, 2, S},
    {"ReferenceBlackWhite", TIFFTAG_REFERENCEBLACKWHITE, Args::Pointer, 0, R},
    {"XMLPacket", TIFFTAG_XMLPACKET, Args::Count32, 0, B | U},
    {"Photoshop", TIFFTAG_PHOTOSHOP, Args::Count32, 0, B | U},
    {nullptr, TIFFTAG_ICCPROFILE, Args::Count32, 0, U},
    {"StoNits", TIFFTAG_STONITS, Args::One, 8, D},
    // The rest of the table, but for the codecs' fields, which a handle
    // knows only once its Compression is set, and InkNames, which
    // TIFFGetField's table passes as one pointer and TIFFSetField's with a
    // count. Names the library spells its own way (NewSubfileType,
    // SubIFDs, IPTC-NAA, and SGI's fields) are not held to the standard's.
    {"Artist", TIFFTAG_ARTIST, Args::Pointer, 0, A},
    {"Copyright", TIFFTAG_COPYRIGHT, Args::Pointer, 0, A},
    {"DateTime", TIFFTAG_DATETIME, Args::Pointer, 0, A},
    {"DocumentName", TIFFTAG_DOCUMENTNAME, Args::Pointer, 0, A},
    {"HostComputer", TIFFTAG_HOSTCOMPUTER, Args::Pointer, 0, A},
    {"Make", TIFFTAG_MAKE, Args::Pointer, 0, A},
    {"Model", TIFFTAG_MODEL, Args::Pointer, 0, A},
    {"PageName", TIFFTAG_PAGENAME, Args::Pointer, 0, A},
    {"Software", TIFFTAG_SOFTWARE, Args::Pointer, 0, A},
    {"TargetPrinter", TIFFTAG_TARGETPRINTER, Args::Pointer, 0, A},
    {"InkSet", TIFFTAG_INKSET, Args::One, 2, S},
    {"MinSampleValue", TIFFTAG_MINSAMPLEVALUE, Args::One, 2, S},
    {"MaxSampleValue", TIFFTAG_MAXSAMPLEVALUE, Args::One, 2, S},
    {"SampleFormat", TIFFTAG_SAMPLEFORMAT, Args::One, 2, S},
    {"SMinSampleValue", TIFFTAG_SMINSAMPLEVALUE, Args::One, 8, N},
    {"SMaxSampleValue", TIFFTAG_SMAXSAMPLEVALUE, Args::One, 8, N},
    {"Threshholding", TIFFTAG_THRESHHOLDING, Args::One, 2, S},
    {"TileLength", TIFFTAG_TILELENGTH, Args::One, 4, S | L},
    {"XPosition", TIFFTAG_XPOSITION, Args::One, 4, R},
    {"YPosition", TIFFTAG_YPOSITION, Args::One, 4, R},
    {"YResolution", TIFFTAG_YRESOLUTION, Args::One, 4, R},
    {"PrimaryChromaticities", TIFFTAG_PRIMARYCHROMATICITIES, Args::Pointer, 0, R},
    {"YCbCrCoefficients", TIFFTAG_YCBCRCOEFFICIENTS, Args::Pointer, 0, R},
    {"TransferFunction", TIFFTAG_TRANSFERFUNCTION, Args::Pointer, 0, S},
    {"StripOffsets", TIFFTAG_STRIPOFFSETS, Args::Pointer, 0, S | L | L8},
    {"StripByteCounts", TIFFTAG_STRIPBYTECOUNTS, Args::Pointer, 0, S | L | L8},
    {"TileOffsets", TIFFTAG_TILEOFFSETS, Args::Pointer, 0, L | L8},
    {"TileByteCounts", TIFFTAG_TILEBYTECOUNTS, Args::Pointer, 0, S | L | L8},
    {nullptr, TIFFTAG_SUBFILETYPE, Args::One, 4, L},
    {nullptr, TIFFTAG_SUBIFD, Args::Count16, 0, L | I | L8 | I8},
    {nullptr, TIFFTAG_RICHTIFFIPTC, Args::Count32, 0, B | U | L},
    {nullptr, TIFFTAG_MATTEING, Args::One, 2, S},
    {nullptr, TIFFTAG_DATATYPE, Args::One, 2, S},
    {nullptr, TIFFTAG_IMAGEDEPTH, Args::One, 4, S | L},
    {nullptr, TIFFTAG_TILEDEPTH, Args::One, 4, S | L},
};

// Each field's description, or null after saying so.
const TIFFField *Describe(TIFF *tif, const Layout &layout, const Promise &p, uint32_t tag)
{
    const TIFFField *fip = TIFFFieldWithTag(tif, tag);
    if (!fip)
        Broken(layout, p, "TIFFFieldWithTag(%" PRIu32 ") gave no field, expected one", tag);
    return fip;
}

// Runs `check` on every row with the field's description, on a new
// directory of the call file.
template <typename Fn>
bool EveryField(const Layout &layout, const Promise &p, Fn check)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (const FieldRow &row : field_rows) {
        const TIFFField *fip = Describe(tif, layout, p, row.tag);
        if (!fip || !check(row, fip))
            ok = false;
    }
    return SetStripPage(tif, layout.filename) && ok;
}

bool PassesCount(Args args)
{
    return args == Args::Count16 || args == Args::Count32;
}

bool PassCount(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const int got = TIFFFieldPassCount(fip);
        if (got != (PassesCount(row.args) ? 1 : 0))
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got,
                          PassesCount(row.args) ? 1 : 0);
        return true;
    });
}

// What TIFFFieldReadCount(3tiff) and TIFFFieldWriteCount(3tiff) must give
// for TIFFGetField's way of passing the field.
bool CountFits(const Layout &layout, const Promise &p, const FieldRow &row, int got,
               const char *call)
{
    switch (row.args) {
    case Args::One:
    case Args::Two: {
        const int expect = row.args == Args::One ? 1 : 2;
        // TIFF_SPP, as many as the samples, is one on the one-sample
        // directory these checks ask.
        if (got != expect && !(row.args == Args::One && got == TIFF_SPP))
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got, expect);
        return true;
    }
    case Args::Pointer:
        if (got == TIFF_VARIABLE || got == TIFF_VARIABLE2)
            return Broken(layout, p,
                          "tag %" PRIu32 " gave %d, expected neither -1 nor -3: %s takes no count",
                          row.tag, got, call);
        return true;
    case Args::Count16:
    case Args::Count32: {
        const int expect = row.args == Args::Count16 ? TIFF_VARIABLE : TIFF_VARIABLE2;
        if (got != expect)
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got, expect);
        return true;
    }
    }
    return true;
}

bool ReadCount(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        return CountFits(layout, p, row, TIFFFieldReadCount(fip), "TIFFGetField");
    });
}

bool WriteCount(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        return CountFits(layout, p, row, TIFFFieldWriteCount(fip), "TIFFSetField");
    });
}

bool CountSize(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const int expect = row.args == Args::Count16 ? 2 : row.args == Args::Count32 ? 4 : 0;
        const int got = TIFFFieldSetGetCountSize(fip);
        if (got != expect)
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got, expect);
        return true;
    });
}

bool SetGetSize(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const int got = TIFFFieldSetGetSize(fip);
        if (row.size != 0 && got != row.size)
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got,
                          row.size);
        return true;
    });
}

// Private fields as TIFFMergeFieldInfo(3tiff) registers them, in each form
// the count pages name, one of every type TIFF 6.0 and BigTIFF define.
struct PrivateForm {
    const char *name;
    short count;
    unsigned char passcount;
};
constexpr PrivateForm private_forms[] = {
    {"1", 1, 0},
    {"3", 3, 0},
    {"TIFF_VARIABLE", TIFF_VARIABLE, 1},
    {"TIFF_VARIABLE2", TIFF_VARIABLE2, 1},
    {"TIFF_SPP", TIFF_SPP, 0},
};
constexpr uint32_t private_base = 64000; // + 100 * the form + the type
constexpr TIFFDataType private_types[] = {
    TIFF_BYTE,      TIFF_ASCII,  TIFF_SHORT,  TIFF_LONG,      TIFF_RATIONAL, TIFF_SBYTE,
    TIFF_UNDEFINED, TIFF_SSHORT, TIFF_SLONG,  TIFF_SRATIONAL, TIFF_FLOAT,    TIFF_DOUBLE,
    TIFF_IFD,       TIFF_LONG8,  TIFF_SLONG8, TIFF_IFD8};

uint32_t PrivateTag(size_t form, TIFFDataType type)
{
    return private_base + 100 * static_cast<uint32_t>(form) + type;
}

// RATIONAL and SRATIONAL are passed as a float or a double
// (TIFFFieldQuery(3tiff)), IFD in 32 or 64 bits, as TIFFSetField(3tiff)
// passes SubIFD's offsets; every other type in the standard's width.
bool EitherWidth(TIFFDataType type)
{
    return type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_IFD;
}

bool PrivateSetGetSize(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    static char name[] = "private field";
    std::vector<TIFFFieldInfo> infos;
    for (size_t f = 0; f < sizeof(private_forms) / sizeof(private_forms[0]); f++) {
        for (TIFFDataType type : private_types)
            infos.push_back({PrivateTag(f, type), private_forms[f].count, private_forms[f].count,
                             type, FIELD_CUSTOM, 1, private_forms[f].passcount, name});
    }
    // Its result is not documented; a field it failed to add is named below.
    TIFFMergeFieldInfo(tif, infos.data(), static_cast<uint32_t>(infos.size()));
    bool ok = true;
    for (size_t f = 0; f < sizeof(private_forms) / sizeof(private_forms[0]); f++) {
        for (TIFFDataType type : private_types) {
            const uint32_t tag = PrivateTag(f, type);
            const TIFFField *fip = Describe(tif, layout, p, tag);
            if (!fip) {
                ok = false;
                continue;
            }
            const int got = TIFFFieldSetGetSize(fip);
            const auto size = static_cast<int>(ifd::TypeSize(type));
            if (got == size || (EitherWidth(type) && (got == 4 || got == 8)))
                continue;
            ok = Broken(layout, p, "private tag %" PRIu32 " (%s, counts %s) gave %d, expected %s",
                        tag, ifd::TypeName(type), private_forms[f].name, got,
                        EitherWidth(type) ? "4 or 8" : std::to_string(size).c_str());
        }
    }
    return SetStripPage(tif, layout.filename) && ok;
}

bool FieldNames(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const char *got = TIFFFieldName(fip);
        if (row.name && (!got || strcmp(got, row.name) != 0))
            return Broken(layout, p, "tag %" PRIu32 " gave \"%s\", expected \"%s\"", row.tag,
                          got ? got : "(null)", row.name);
        return true;
    });
}

bool FieldTags(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (const FieldRow &row : field_rows) {
        if (!row.name)
            continue;
        const TIFFField *const fip = Expecting([&] { return TIFFFieldWithName(tif, row.name); });
        const uint32_t got = fip ? TIFFFieldTag(fip) : 0;
        if (got != row.tag)
            ok = Broken(layout, p,
                        "TIFFFieldWithName(\"%s\") gave tag %" PRIu32 ", expected %" PRIu32,
                        row.name, got, row.tag);
    }
    return SetStripPage(tif, layout.filename) && ok;
}

bool FieldTypes(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const TIFFDataType got = TIFFFieldDataType(fip);
        if (static_cast<unsigned>(got) >= 32 || (Type(got) & row.types) == 0)
            return Broken(layout, p, "tag %" PRIu32 " gave type %d, expected one the field allows",
                          row.tag, static_cast<int>(got));
        return true;
    });
}

bool TagListEnd(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    for (ttag_t tag : {TIFFTAG_ARTIST, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_SOFTWARE}) {
        if (!TIFFSetField(tif, tag, "manpage_probe")) {
            probe::SayCantSet(tag, layout.filename);
            return false;
        }
    }
    const int count = TIFFGetTagListCount(tif);
    if (count < 0)
        return Broken(layout, p, "TIFFGetTagListCount gave %d, expected 0 or more", count);
    for (int i = 0; i < count; i++) {
        if (TIFFGetTagListEntry(tif, i) == UINT32_MAX)
            return Broken(layout, p, "entry %d of %d gave 0xFFFFFFFF, expected a tag", i, count);
    }
    for (int i : {count, count + 1}) {
        const uint32_t got = TIFFGetTagListEntry(tif, i);
        if (got != UINT32_MAX)
            return Broken(layout, p, "entry %d of %d gave 0x%" PRIX32 ", expected 0xFFFFFFFF", i,
                          count, got);
    }
    return true;
}

// The sizes TIFF 6.0 (types 1 to 12), the IFD type's note (13) and BigTIFF
// (16 to 18) give; every other number is no type.
bool DataWidth(const Layout &layout, const Promise &p)
{
    constexpr int widths[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8, 0};
    bool ok = true;
    for (int type = 0; type < static_cast<int>(sizeof(widths) / sizeof(widths[0])); type++) {
        const int got = TIFFDataWidth(static_cast<TIFFDataType>(type));
        if (got != widths[type])
            ok = Broken(layout, p, "type %d gave %d, expected %d", type, got, widths[type]);
    }
    return ok;
}

void Quiet(const char * /*module*/, const char * /*format*/, va_list /*ap*/) {}
void Other(const char * /*module*/, const char * /*format*/, va_list /*ap*/) {}

bool HandlerReturns(const Layout &layout, const Promise &p,
                    TIFFErrorHandler (*set)(TIFFErrorHandler))
{
    const TIFFErrorHandler original = set(Quiet);
    const TIFFErrorHandler first = set(Other);
    const TIFFErrorHandler second = set(original);
    if (first != Quiet || second != Other)
        return Broken(layout, p, "the previous handler came back %s, expected the one set before",
                      first != Quiet ? "wrong first" : "wrong second");
    return true;
}

bool ErrorHandler(const Layout &layout, const Promise &p)
{
    return HandlerReturns(layout, p, TIFFSetErrorHandler);
}

bool WarningHandler(const Layout &layout, const Promise &p)
{
    return HandlerReturns(layout, p, TIFFSetWarningHandler);
}

} // namespace manpage
