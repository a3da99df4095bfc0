// The fields that field_probe sets, fetches and finds on disk, as the
// standards define them: TIFF 6.0, TIFF/EP, TIFF-FX, DNG 1.6, EXIF 2.32 with
// its GPS directory, and Adobe's notes for XMLPacket, Photoshop and
// ImageSourceData. Nothing here comes from the library under test.
#ifndef TIFF_PROBES_FIELD_TABLE_H
#define TIFF_PROBES_FIELD_TABLE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace field {

// The on-disk types a field allows, one bit per type code: ALLOW_X has the
// bit of ifd::X, so a mask never reads as a type code.
constexpr uint32_t TypeBit(unsigned type)
{
    return 1U << type;
}
constexpr uint32_t ALLOW_BYTE = TypeBit(1);
constexpr uint32_t ALLOW_ASCII = TypeBit(2);
constexpr uint32_t ALLOW_SHORT = TypeBit(3);
constexpr uint32_t ALLOW_LONG = TypeBit(4);
constexpr uint32_t ALLOW_RATIONAL = TypeBit(5);
constexpr uint32_t ALLOW_SBYTE = TypeBit(6);
constexpr uint32_t ALLOW_UNDEFINED = TypeBit(7);
constexpr uint32_t ALLOW_SSHORT = TypeBit(8);
constexpr uint32_t ALLOW_SLONG = TypeBit(9);
constexpr uint32_t ALLOW_SRATIONAL = TypeBit(10);
constexpr uint32_t ALLOW_FLOAT = TypeBit(11);
constexpr uint32_t ALLOW_DOUBLE = TypeBit(12);
constexpr uint32_t ALLOW_IFD = TypeBit(13);
constexpr uint32_t ALLOW_LONG8 = TypeBit(16);
constexpr uint32_t ALLOW_SLONG8 = TypeBit(17);
constexpr uint32_t ALLOW_IFD8 = TypeBit(18);
// The types only BigTIFF has: a classic file holding one is wrong, whatever
// a row allows.
constexpr uint32_t ALLOW_BIGTIFF_ONLY = ALLOW_LONG8 | ALLOW_SLONG8 | ALLOW_IFD8;
// An offset of another IFD: LONG or IFD, and in BigTIFF LONG8 or IFD8 too.
constexpr uint32_t ALLOW_OFFSET = ALLOW_LONG | ALLOW_IFD | ALLOW_LONG8 | ALLOW_IFD8;
constexpr uint32_t ALLOW_NUMERIC = ALLOW_BYTE | ALLOW_SHORT | ALLOW_LONG | ALLOW_RATIONAL |
                                   ALLOW_SBYTE | ALLOW_SSHORT | ALLOW_SLONG | ALLOW_SRATIONAL |
                                   ALLOW_FLOAT | ALLOW_DOUBLE;

// How many values a field holds on disk.
enum class Count : uint8_t {
    Fixed,           // exactly n
    PerSample,       // n per sample (SamplesPerPixel)
    OnceOrPerSample, // n, or n per sample (DotRange)
    PerLevel,        // n curves of 2^BitsPerSample values
    Any,             // any number
};

// Where a field is written: a page whose image the field needs, or the
// EXIF or GPS directory that page 0 links. Uncovered fields are in the table
// for the field query only.
enum class Home : uint8_t {
    Main,    // page 0: CMYK, 8 bits, LZW with a predictor, and most fields
    Palette, // 4-bit palette image, 70000 pixels wide
    YCbCr,   // YCbCr, subsampled 2 x 1, JPEG
    Float,   // 16 x 16 tiles of two 64-bit IEEE float samples, planes apart, Deflate
             // with the floating-point predictor
    Fax3,    // bilevel, CCITT Group 3
    Fax4,    // bilevel, CCITT Group 4
    Exif,
    Gps,
    Interop,   // EXIF's Interoperability directory, linked from the EXIF directory
    Uncovered, // the library writes it itself, or it links an IFD (see the README)
};

// An offset that only the writing knows: the IFD a link field points to.
enum class LinkTarget : uint8_t { None, Exif, Gps, Interop };

// The members in the order a row reads best, tag first.
// NOLINTNEXTLINE(clang-analyzer-optin.performance.Padding)
struct Definition {
    uint16_t tag;
    const char *name; // as the governing standard names it
    Home home;
    uint32_t types; // the on-disk types allowed
    Count rule;
    uint16_t n;
    const char *text;                     // ASCII fields: the value
    std::initializer_list<double> values; // numeric fields: the values
    // Numeric fields: or this many values of a pattern whose bytes all
    // differ; ASCII fields: the text's size, NULs inside it included, when
    // it holds several strings.
    uint16_t pattern = 0;
    LinkTarget link = LinkTarget::None;
    // BYTE or UNDEFINED fields whose value must be a valid stream: these
    // `pattern` bytes instead of the pattern.
    const uint8_t *bytes = nullptr;
    // UNDEFINED fields that begin with this many SHORTs in the file's byte
    // order (EXIF's CFAPattern); the values give them little-endian.
    uint8_t leading_shorts = 0;
};

extern const Definition fields[];
extern const size_t field_count;

// Value I of a field's pattern, `size` bytes wide: for bytes, all
// different in a run of 256, and no run of 256 like the next; wider values
// have bytes that differ.
uint64_t Pattern(uint16_t tag, uint32_t i, unsigned size);

} // namespace field

#endif
