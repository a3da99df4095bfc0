// One row per field and page: the tag, the name its standard gives, where
// the probe writes it, the on-disk types and count that standard allows, and
// a value chosen to catch faults: bytes that all differ, each type's
// extremes, arrays long enough to be stored out of line, and, where the
// library keeps a field as a double (the GPS fields, StoNits,
// SMin/SMaxSampleValue), fractions that a FLOAT cannot hold. Where the
// library's interface takes a float, the fractions are ones that a float
// and a RATIONAL both hold exactly.
#include "field_table.h"

#include "tags.h"

namespace field {

namespace {

constexpr Count F = Count::Fixed;
constexpr Count S = Count::PerSample;
constexpr Count P = Count::OnceOrPerSample;
constexpr Count L = Count::PerLevel;
constexpr Count A = Count::Any;
constexpr Home MAIN = Home::Main;
constexpr Home PAL = Home::Palette;
constexpr Home YCC = Home::YCbCr;
constexpr Home FLT = Home::Float;
constexpr Home FAX3 = Home::Fax3;
constexpr Home FAX4 = Home::Fax4;
constexpr Home EXIF = Home::Exif;
constexpr Home GPS = Home::Gps;
constexpr Home INTEROP = Home::Interop;
constexpr Home NONE = Home::Uncovered;

// Bits of a FLOAT's extremes, spelled as the doubles that hold them exactly.
constexpr double flt_max = 3.4028234663852886e38;
constexpr double flt_true_min = 1.4012984643248171e-45;
constexpr double flt_min = 1.1754943508222875e-38;

// clang-format off
// The example tables of the JPEG standard (ITU-T T.81, Annex K): the
// luminance and chrominance quantization tables in natural order, and the
// four Huffman tables as code counts by length and symbols.
constexpr uint8_t quant_luma[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr uint8_t quant_chroma_head[4][4] = {
    {17, 18, 24, 47}, {18, 21, 26, 66}, {24, 26, 56, 99}, {47, 66, 99, 99}};
constexpr uint8_t zigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
constexpr uint8_t dc_luma_bits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t dc_chroma_bits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t dc_symbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t ac_luma_bits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t ac_luma_symbols[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr uint8_t ac_chroma_bits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t ac_chroma_symbols[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

// clang-format on

// SOI; one DQT with both quantization tables (8-bit, zigzag order); one DHT
// with the four Huffman tables; EOI.
constexpr size_t dqt_size = 2 + 2 * 65;
constexpr size_t dht_size = 2 + 4 * 17 + 2 * 12 + 2 * 162;
constexpr size_t tables_size = 2 + 2 + dqt_size + 2 + dht_size + 2;

struct Stream {
    uint8_t bytes[tables_size] = {};
    size_t at = 0;
    constexpr void Put(uint8_t b) { bytes[at++] = b; }
    constexpr void Marker(uint8_t m)
    {
        Put(0xFF);
        Put(m);
    }
    constexpr void Length(size_t n)
    {
        Put(static_cast<uint8_t>(n >> 8));
        Put(static_cast<uint8_t>(n & 0xFF));
    }
    constexpr void Huffman(uint8_t id, const uint8_t *bits, const uint8_t *symbols, size_t n)
    {
        Put(id);
        for (size_t i = 0; i < 16; i++)
            Put(bits[i]);
        for (size_t i = 0; i < n; i++)
            Put(symbols[i]);
    }
};

constexpr uint8_t QuantChroma(size_t i)
{
    return i % 8 < 4 && i / 8 < 4 ? quant_chroma_head[i / 8][i % 8] : 99;
}

constexpr Stream MakeTables()
{
    Stream s;
    s.Marker(0xD8);
    s.Marker(0xDB);
    s.Length(dqt_size);
    s.Put(0);
    for (size_t k = 0; k < 64; k++)
        s.Put(quant_luma[zigzag[k]]);
    s.Put(1);
    for (size_t k = 0; k < 64; k++)
        s.Put(QuantChroma(zigzag[k]));
    s.Marker(0xC4);
    s.Length(dht_size);
    s.Huffman(0x00, dc_luma_bits, dc_symbols, 12);
    s.Huffman(0x10, ac_luma_bits, ac_luma_symbols, 162);
    s.Huffman(0x01, dc_chroma_bits, dc_symbols, 12);
    s.Huffman(0x11, ac_chroma_bits, ac_chroma_symbols, 162);
    s.Marker(0xD9);
    return s;
}

constexpr Stream tables_stream = MakeTables();
static_assert(tables_stream.at == tables_size, "the stream fills its size");

// DNG's strings are counted with their NUL.
constexpr uint8_t localized_model[] = "A localized camera";
constexpr uint8_t raw_file_name[] = "RAW_0001.DNG";
// EXIF's texts of any character set: an 8-byte character code, then the
// text, not NUL-terminated.
constexpr uint8_t user_comment[] = {'A', 'S', 'C', 'I', 'I', 0,   0,   0,   'A', ' ', 'u', 's',
                                    'e', 'r', ' ', 'c', 'o', 'm', 'm', 'e', 'n', 't', ',', ' ',
                                    'o', 'u', 't', ' ', 'o', 'f', ' ', 'l', 'i', 'n', 'e'};
constexpr uint8_t processing_method[] = {'A', 'S', 'C', 'I', 'I', 0,   0,   0,  'G',
                                         'P', 'S', '-', 'F', 'I', 'X', 'E', 'D'};
constexpr uint8_t area_information[] = {'A', 'S', 'C', 'I', 'I', 0,   0,   0,   'A', 'n', ' ', 'a',
                                        'r', 'e', 'a', ',', ' ', 'n', 'a', 'm', 'e', 'd', '.'};

} // namespace

// The image fields of every page (ImageWidth, BitsPerSample, ...) carry no
// value here: the page's shape gives it.
// One row a line where it fits, as a table reads.
// clang-format off
const Definition fields[] = {
    // TIFF 6.0 baseline and extensions
    {ifd::tag::NewSubfileType, "NewSubfileType", MAIN, ALLOW_LONG, F, 1, nullptr, {2}},
    // Deprecated by TIFF 6.0 itself in favour of NewSubfileType.
    {ifd::tag::SubfileType, "SubfileType", NONE, ALLOW_SHORT, F, 1, nullptr, {3}},
    {ifd::tag::ImageWidth, "ImageWidth", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {ifd::tag::ImageLength, "ImageLength", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {ifd::tag::BitsPerSample, "BitsPerSample", MAIN, ALLOW_SHORT, S, 1, nullptr, {}},
    {ifd::tag::Compression, "Compression", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {ifd::tag::PhotometricInterpretation, "PhotometricInterpretation", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {ifd::tag::Threshholding, "Threshholding", FAX3, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::tag::CellWidth, "CellWidth", FAX3, ALLOW_SHORT, F, 1, nullptr, {5}},
    {ifd::tag::CellLength, "CellLength", FAX3, ALLOW_SHORT, F, 1, nullptr, {7}},
    {ifd::tag::FillOrder, "FillOrder", FAX3, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::tag::DocumentName, "DocumentName", MAIN, ALLOW_ASCII, A, 1, "field_probe: a document name", {}},
    {ifd::tag::ImageDescription, "ImageDescription", MAIN, ALLOW_ASCII, A, 1, "An image description, out of line.", {}},
    {ifd::tag::Make, "Make", MAIN, ALLOW_ASCII, A, 1, "ab", {}},
    {ifd::tag::Model, "Model", MAIN, ALLOW_ASCII, A, 1, "Model 0123456789", {}},
    {ifd::tag::StripOffsets, "StripOffsets", NONE, ALLOW_SHORT | ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {ifd::tag::Orientation, "Orientation", MAIN, ALLOW_SHORT, F, 1, nullptr, {8}},
    {ifd::tag::SamplesPerPixel, "SamplesPerPixel", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {ifd::tag::RowsPerStrip, "RowsPerStrip", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {ifd::tag::StripByteCounts, "StripByteCounts", NONE, ALLOW_SHORT | ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {ifd::tag::MinSampleValue, "MinSampleValue", MAIN, ALLOW_SHORT, S, 1, nullptr, {3}},
    {ifd::tag::MaxSampleValue, "MaxSampleValue", MAIN, ALLOW_SHORT, S, 1, nullptr, {251}},
    {ifd::tag::XResolution, "XResolution", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {300.5}},
    {ifd::tag::YResolution, "YResolution", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {72.25}},
    {ifd::tag::PlanarConfiguration, "PlanarConfiguration", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {ifd::tag::PageName, "PageName", MAIN, ALLOW_ASCII, A, 1, "page 0", {}},
    {ifd::tag::XPosition, "XPosition", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.5}},
    {ifd::tag::YPosition, "YPosition", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {2.25}},
    {ifd::tag::FreeOffsets, "FreeOffsets", NONE, ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {ifd::tag::FreeByteCounts, "FreeByteCounts", NONE, ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {ifd::tag::GrayResponseUnit, "GrayResponseUnit", PAL, ALLOW_SHORT, F, 1, nullptr, {3}},
    {ifd::tag::GrayResponseCurve, "GrayResponseCurve", PAL, ALLOW_SHORT, L, 1, nullptr, {}, 1},
    {ifd::tag::ResolutionUnit, "ResolutionUnit", MAIN, ALLOW_SHORT, F, 1, nullptr, {3}},
    {ifd::tag::PageNumber, "PageNumber", MAIN, ALLOW_SHORT, F, 2, nullptr, {0x0102, 0xFFFE}},
    // TIFF 5.0's, which TIFF 6.0 dropped; its type and count are 5.0's.
    {ifd::tag::ColorResponseUnit, "ColorResponseUnit", NONE, ALLOW_SHORT, F, 1, nullptr, {4}},
    {ifd::tag::TransferFunction, "TransferFunction", MAIN, ALLOW_SHORT, L, 3, nullptr, {}, 1},
    {ifd::tag::TransferFunction, "TransferFunction", PAL, ALLOW_SHORT, L, 1, nullptr, {}, 1},
    {ifd::tag::Software, "Software", MAIN, ALLOW_ASCII, A, 1, "field_probe v2", {}},
    {ifd::tag::DateTime, "DateTime", MAIN, ALLOW_ASCII, F, 20, "2024:02:29 23:59:58", {}},
    {ifd::tag::Artist, "Artist", MAIN, ALLOW_ASCII, A, 1, "An artist.", {}},
    {ifd::tag::HostComputer, "HostComputer", MAIN, ALLOW_ASCII, A, 1, "host", {}},
    {ifd::tag::Predictor, "Predictor", MAIN, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::tag::WhitePoint, "WhitePoint", MAIN, ALLOW_RATIONAL, F, 2, nullptr, {0.3125, 0.328125}},
    {ifd::tag::PrimaryChromaticities, "PrimaryChromaticities", MAIN, ALLOW_RATIONAL, F, 6, nullptr,
     {0.640625, 0.328125, 0.296875, 0.59375, 0.15625, 0.0625}},
    {ifd::tag::ColorMap, "ColorMap", PAL, ALLOW_SHORT, L, 3, nullptr, {}, 1},
    {ifd::tag::HalftoneHints, "HalftoneHints", MAIN, ALLOW_SHORT, F, 2, nullptr, {0x0C, 0xF3}},
    {ifd::tag::TileWidth, "TileWidth", FLT, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {ifd::tag::TileLength, "TileLength", FLT, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {ifd::tag::TileOffsets, "TileOffsets", NONE, ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {ifd::tag::TileByteCounts, "TileByteCounts", NONE, ALLOW_SHORT | ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {ifd::tag::SubIFDs, "SubIFDs", NONE, ALLOW_OFFSET, A, 1, nullptr, {}},
    {ifd::tag::InkSet, "InkSet", MAIN, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::tag::InkNames, "InkNames", MAIN, ALLOW_ASCII, A, 1, "Cyan\0Magenta\0Yellow\0Black inks", {}, 31},
    {ifd::tag::NumberOfInks, "NumberOfInks", MAIN, ALLOW_SHORT, F, 1, nullptr, {4}},
    {ifd::tag::DotRange, "DotRange", MAIN, ALLOW_BYTE | ALLOW_SHORT, P, 2, nullptr, {5, 250}},
    {ifd::tag::TargetPrinter, "TargetPrinter", MAIN, ALLOW_ASCII, A, 1, "A target printer", {}},
    {ifd::tag::ExtraSamples, "ExtraSamples", FLT, ALLOW_SHORT, A, 1, nullptr, {2}},
    {ifd::tag::SampleFormat, "SampleFormat", FLT, ALLOW_SHORT, S, 1, nullptr, {3}},
    {ifd::tag::SMinSampleValue, "SMinSampleValue", FLT, ALLOW_NUMERIC, S, 1, nullptr, {-0.1}},
    {ifd::tag::SMaxSampleValue, "SMaxSampleValue", FLT, ALLOW_NUMERIC, S, 1, nullptr, {2.718281828459045}},
    // Adobe PageMaker 6.0 technical notes
    {ifd::tag::ClipPath, "ClipPath", MAIN, ALLOW_BYTE, A, 1, nullptr, {}, 41},
    {ifd::tag::XClipPathUnits, "XClipPathUnits", MAIN, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {ifd::tag::YClipPathUnits, "YClipPathUnits", MAIN, ALLOW_LONG, F, 1, nullptr, {0xFFFFFFFE}},
    {ifd::tag::Indexed, "Indexed", PAL, ALLOW_SHORT, F, 1, nullptr, {1}},
    // TIFF-FX (RFC 2301)
    // Any IFD will do for the offset: the GPS directory.
    {ifd::tag::GlobalParametersIFD, "GlobalParametersIFD", MAIN, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Gps},
    {ifd::tag::ProfileType, "ProfileType", MAIN, ALLOW_LONG, F, 1, nullptr, {1}},
    {ifd::tag::FaxProfile, "FaxProfile", MAIN, ALLOW_BYTE, F, 1, nullptr, {3}},
    {ifd::tag::CodingMethods, "CodingMethods", MAIN, ALLOW_LONG, F, 1, nullptr, {0x3E}},
    {ifd::tag::VersionYear, "VersionYear", MAIN, ALLOW_BYTE, F, 4, nullptr, {'1', '9', '9', '8'}},
    {ifd::tag::ModeNumber, "ModeNumber", MAIN, ALLOW_BYTE, F, 1, nullptr, {2}},
    {ifd::tag::Decode, "Decode", MAIN, ALLOW_SRATIONAL, S, 2, nullptr,
     {-0.5, 255.5, 0.25, -128.75, 1.125, 65535.5, -2.5, 0.0625}},
    {ifd::tag::DefaultImageColor, "DefaultImageColor", MAIN, ALLOW_SHORT, S, 1, nullptr, {0x0102, 0xFFFF, 0, 0x8000}},
    {ifd::tag::T82Options, "T82Options", MAIN, ALLOW_LONG, F, 1, nullptr, {1}},
    {ifd::tag::YCbCrCoefficients, "YCbCrCoefficients", YCC, ALLOW_RATIONAL, F, 3, nullptr,
     {0.2998046875, 0.5869140625, 0.1142578125}},
    {ifd::tag::YCbCrSubSampling, "YCbCrSubSampling", YCC, ALLOW_SHORT, F, 2, nullptr, {2, 1}},
    {ifd::tag::YCbCrPositioning, "YCbCrPositioning", YCC, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::tag::ReferenceBlackWhite, "ReferenceBlackWhite", MAIN, ALLOW_RATIONAL, F, 6, nullptr,
     {16, 235, 128.5, 240, 127.5, 240.25}},
    {ifd::tag::StripRowCounts, "StripRowCounts", MAIN, ALLOW_LONG, A, 1, nullptr, {5}},
    // Adobe XMP, part 3
    {ifd::tag::XMLPacket, "XMLPacket", MAIN, ALLOW_BYTE | ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    // SGI and Pixar's registered private fields
    {ifd::tag::Matteing, "Matteing", NONE, ALLOW_SHORT, F, 1, nullptr, {}},
    {ifd::tag::DataType, "DataType", NONE, ALLOW_SHORT, S, 1, nullptr, {}},
    {ifd::tag::ImageDepth, "ImageDepth", FLT, ALLOW_LONG, F, 1, nullptr, {3}},
    {ifd::tag::TileDepth, "TileDepth", FLT, ALLOW_LONG, F, 1, nullptr, {1}},
    {ifd::tag::ImageFullWidth, "ImageFullWidth", MAIN, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {ifd::tag::ImageFullLength, "ImageFullLength", MAIN, ALLOW_LONG, F, 1, nullptr, {0xFEDCBA98}},
    {ifd::tag::TextureFormat, "TextureFormat", MAIN, ALLOW_ASCII, A, 1, "8-bit RGBA", {}},
    {ifd::tag::TextureWrapModes, "TextureWrapModes", MAIN, ALLOW_ASCII, A, 1, "repeat", {}},
    {ifd::tag::FieldOfViewCotangent, "FieldOfViewCotangent", MAIN, ALLOW_FLOAT, F, 1, nullptr, {flt_max}},
    {ifd::tag::MatrixWorldToScreen, "MatrixWorldToScreen", MAIN, ALLOW_FLOAT, F, 16, nullptr,
     {flt_true_min, -0.0, flt_max, -flt_max, 1.0, 0.100000001490116119384765625, flt_min, -1.0,
      2.0, 0.5, -0.25, 3.0, 1024.0, -65536.0, 0.125, 7.0}},
    {ifd::tag::MatrixWorldToCamera, "MatrixWorldToCamera", MAIN, ALLOW_FLOAT, F, 16, nullptr,
     {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0, 12.0, 13.0, 14.0, 15.0, -16.5}},
    // TIFF/EP
    {ifd::tag::CFARepeatPatternDim, "CFARepeatPatternDim", MAIN, ALLOW_SHORT, F, 2, nullptr, {3, 5}},
    {ifd::tag::CFAPattern, "CFAPattern", MAIN, ALLOW_BYTE, A, 1, nullptr, {2, 5, 3, 6, 4, 3, 2, 6, 5, 4, 6, 4, 2, 3, 5}},
    {ifd::tag::Copyright, "Copyright", MAIN, ALLOW_ASCII, A, 1, "Copyright: field_probe", {}},
    {ifd::tag::IPTC_NAA, "IPTC/NAA", MAIN, ALLOW_BYTE | ALLOW_UNDEFINED | ALLOW_LONG | ALLOW_ASCII, A, 1, nullptr, {}, 41},
    // Adobe Photoshop's TIFF technical notes
    {ifd::tag::Photoshop, "Photoshop", MAIN, ALLOW_BYTE | ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::tag::ExifIFD, "ExifIFD", MAIN, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Exif},
    {ifd::tag::InterColorProfile, "InterColorProfile", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::tag::ImageLayer, "ImageLayer", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 2, nullptr, {1, 2}},
    {ifd::tag::GPSInfoIFD, "GPSInfoIFD", MAIN, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Gps},
    // SGI's fax fields
    {ifd::tag::FaxRecvParams, "FaxRecvParams", MAIN, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {ifd::tag::FaxSubAddress, "FaxSubAddress", MAIN, ALLOW_ASCII, A, 1, "0123#456", {}},
    {ifd::tag::FaxRecvTime, "FaxRecvTime", MAIN, ALLOW_LONG, F, 1, nullptr, {0x89ABCDEF}},
    {ifd::tag::FaxDcs, "FaxDcs", MAIN, ALLOW_ASCII, A, 1, "DCS0", {}},
    {ifd::tag::StoNits, "StoNits", MAIN, ALLOW_DOUBLE, F, 1, nullptr, {1.0 / 3.0}},
    {ifd::tag::ImageSourceData, "ImageSourceData", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    // DNG 1.6
    {ifd::tag::DNGVersion, "DNGVersion", MAIN, ALLOW_BYTE, F, 4, nullptr, {1, 6, 0, 0}},
    {ifd::tag::DNGBackwardVersion, "DNGBackwardVersion", MAIN, ALLOW_BYTE, F, 4, nullptr, {1, 4, 0, 0}},
    {ifd::tag::UniqueCameraModel, "UniqueCameraModel", MAIN, ALLOW_ASCII, A, 1, "A unique camera model.", {}},
    {ifd::tag::LocalizedCameraModel, "LocalizedCameraModel", MAIN, ALLOW_ASCII | ALLOW_BYTE, A, 1, nullptr, {}, sizeof(localized_model),
     LinkTarget::None, localized_model},
    {ifd::tag::CFAPlaneColor, "CFAPlaneColor", MAIN, ALLOW_BYTE, A, 1, nullptr, {0, 1, 2}},
    {ifd::tag::CFALayout, "CFALayout", MAIN, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::tag::LinearizationTable, "LinearizationTable", MAIN, ALLOW_SHORT, A, 1, nullptr, {}, 65},
    {ifd::tag::BlackLevelRepeatDim, "BlackLevelRepeatDim", MAIN, ALLOW_SHORT, F, 2, nullptr, {2, 3}},
    {ifd::tag::BlackLevel, "BlackLevel", MAIN, ALLOW_SHORT | ALLOW_LONG | ALLOW_RATIONAL, A, 1, nullptr,
     {64.5, 0.25, 1023.75, 4, 0, 65535.5, 2.125, 7, 3.5, 96.25, 17, 250.75,
      5.5, 6, 1000.5, 0.75, 9.125, 63, 255.25, 12, 2.5, 4000.5, 33.75, 8.5}},
    {ifd::tag::BlackLevelDeltaH, "BlackLevelDeltaH", MAIN, ALLOW_SRATIONAL, A, 1, nullptr, {-0.5, 0.25, -3.125, 4, 2.75}},
    {ifd::tag::BlackLevelDeltaV, "BlackLevelDeltaV", MAIN, ALLOW_SRATIONAL, A, 1, nullptr, {0.75, -1.5, 6.25}},
    {ifd::tag::WhiteLevel, "WhiteLevel", MAIN, ALLOW_SHORT | ALLOW_LONG, S, 1, nullptr, {0xFFFF, 4095, 0x01020304, 1}},
    {ifd::tag::DefaultScale, "DefaultScale", MAIN, ALLOW_RATIONAL, F, 2, nullptr, {1.5, 0.75}},
    {ifd::tag::DefaultCropOrigin, "DefaultCropOrigin", MAIN, ALLOW_SHORT | ALLOW_LONG | ALLOW_RATIONAL, F, 2, nullptr, {1.5, 0.25}},
    {ifd::tag::DefaultCropSize, "DefaultCropSize", MAIN, ALLOW_SHORT | ALLOW_LONG | ALLOW_RATIONAL, F, 2, nullptr, {3.25, 2.5}},
    {ifd::tag::ColorMatrix1, "ColorMatrix1", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, -0.5, 0.25, -0.125, 2.0, -2.5, 0.0625, -1.0, 3.5}},
    {ifd::tag::ColorMatrix2, "ColorMatrix2", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {-1.0, 0.5, -0.25, 0.125, -2.0, 2.5, -0.0625, 1.0, -3.5}},
    {ifd::tag::CameraCalibration1, "CameraCalibration1", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, 0, 0, 0, 1.03125, 0, 0, 0, 0.96875}},
    {ifd::tag::CameraCalibration2, "CameraCalibration2", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {0.5, 0, 0, 0, -1.03125, 0, 0, 0, 2.96875}},
    {ifd::tag::ReductionMatrix1, "ReductionMatrix1", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {0.25, 0.5, 0.25, -0.5, 1.0, 0.5, 0.125, 0.75, 0.125}},
    {ifd::tag::ReductionMatrix2, "ReductionMatrix2", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {0.75, 0.5, -0.25, 0.5, 1.0, -0.5, 0.375, 0.25, 0.375}},
    {ifd::tag::AnalogBalance, "AnalogBalance", MAIN, ALLOW_RATIONAL, A, 1, nullptr, {1.0, 1.25, 0.875}},
    {ifd::tag::AsShotNeutral, "AsShotNeutral", MAIN, ALLOW_SHORT | ALLOW_RATIONAL, A, 1, nullptr, {0.5, 1.0, 0.625}},
    {ifd::tag::AsShotWhiteXY, "AsShotWhiteXY", MAIN, ALLOW_RATIONAL, F, 2, nullptr, {0.34375, 0.359375}},
    {ifd::tag::BaselineExposure, "BaselineExposure", MAIN, ALLOW_SRATIONAL, F, 1, nullptr, {-1.25}},
    {ifd::tag::BaselineNoise, "BaselineNoise", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {0.625}},
    {ifd::tag::BaselineSharpness, "BaselineSharpness", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.375}},
    {ifd::tag::BayerGreenSplit, "BayerGreenSplit", MAIN, ALLOW_LONG, F, 1, nullptr, {2500}},
    {ifd::tag::LinearResponseLimit, "LinearResponseLimit", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {0.875}},
    {ifd::tag::CameraSerialNumber, "CameraSerialNumber", MAIN, ALLOW_ASCII, A, 1, "SN 01234567890", {}},
    {ifd::tag::LensInfo, "LensInfo", MAIN, ALLOW_RATIONAL, F, 4, nullptr, {24, 70, 2.75, 4}},
    {ifd::tag::ChromaBlurRadius, "ChromaBlurRadius", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {3.5}},
    {ifd::tag::AntiAliasStrength, "AntiAliasStrength", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {0.25}},
    {ifd::tag::ShadowScale, "ShadowScale", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.0625}},
    {ifd::tag::DNGPrivateData, "DNGPrivateData", MAIN, ALLOW_BYTE, A, 1, nullptr, {}, 41},
    {ifd::tag::MakerNoteSafety, "MakerNoteSafety", MAIN, ALLOW_SHORT, F, 1, nullptr, {1}},
    {ifd::tag::CalibrationIlluminant1, "CalibrationIlluminant1", MAIN, ALLOW_SHORT, F, 1, nullptr, {17}},
    {ifd::tag::CalibrationIlluminant2, "CalibrationIlluminant2", MAIN, ALLOW_SHORT, F, 1, nullptr, {21}},
    {ifd::tag::BestQualityScale, "BestQualityScale", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.5}},
    {ifd::tag::RawDataUniqueID, "RawDataUniqueID", MAIN, ALLOW_BYTE, F, 16, nullptr, {}, 16},
    {ifd::tag::OriginalRawFileName, "OriginalRawFileName", MAIN, ALLOW_ASCII | ALLOW_BYTE, A, 1, nullptr, {}, sizeof(raw_file_name),
     LinkTarget::None, raw_file_name},
    {ifd::tag::OriginalRawFileData, "OriginalRawFileData", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::tag::ActiveArea, "ActiveArea", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 4, nullptr, {2, 0x10203, 5, 0x10208}},
    {ifd::tag::MaskedAreas, "MaskedAreas", MAIN, ALLOW_SHORT | ALLOW_LONG, A, 4, nullptr,
     {2, 3, 4, 0x100FE, 2, 0x10210, 5, 0x11000, 3, 0x11001, 4, 70001}},
    {ifd::tag::AsShotICCProfile, "AsShotICCProfile", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::tag::AsShotPreProfileMatrix, "AsShotPreProfileMatrix", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, 0.5, -0.5, 0, 1.0, 0, -0.25, 0.25, 1.0}},
    {ifd::tag::CurrentICCProfile, "CurrentICCProfile", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::tag::CurrentPreProfileMatrix, "CurrentPreProfileMatrix", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, -0.5, 0.5, 0, 1.0, 0, 0.25, -0.25, 1.0}},

    // The fields a codec adds once its Compression is set. Predictor with
    // Adobe Deflate (8), as 3, the floating-point predictor of Adobe's
    // technical note 3; JPEGTables with JPEG (7) as technical note 2 gives
    // it, the bytes of a whole tables-only stream.
    {ifd::tag::Predictor, "Predictor", FLT, ALLOW_SHORT, F, 1, nullptr, {3}},
    {ifd::tag::JPEGTables, "JPEGTables", YCC, ALLOW_UNDEFINED, A, 1, nullptr, {}, tables_size, LinkTarget::None,
     tables_stream.bytes},
    {ifd::tag::T4Options, "T4Options", FAX3, ALLOW_LONG, F, 1, nullptr, {5}},
    {ifd::tag::T6Options, "T6Options", FAX4, ALLOW_LONG, F, 1, nullptr, {2}},
    {ifd::tag::BadFaxLines, "BadFaxLines", FAX3, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {0x10302}},
    {ifd::tag::CleanFaxData, "CleanFaxData", FAX3, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::tag::ConsecutiveBadFaxLines, "ConsecutiveBadFaxLines", FAX3, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {0x10203}},

    // EXIF 2.32
    {ifd::exif_tag::ExposureTime, "ExposureTime", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {0.0078125}},
    {ifd::exif_tag::FNumber, "FNumber", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {5.625}},
    {ifd::exif_tag::ExposureProgram, "ExposureProgram", EXIF, ALLOW_SHORT, F, 1, nullptr, {7}},
    {ifd::exif_tag::SpectralSensitivity, "SpectralSensitivity", EXIF, ALLOW_ASCII, A, 1, "ASTM E1708", {}},
    {ifd::exif_tag::PhotographicSensitivity, "PhotographicSensitivity", EXIF, ALLOW_SHORT, A, 1, nullptr, {100, 0xFFFF, 0x0102}},
    {ifd::exif_tag::OECF, "OECF", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::exif_tag::SensitivityType, "SensitivityType", EXIF, ALLOW_SHORT, F, 1, nullptr, {7}},
    {ifd::exif_tag::StandardOutputSensitivity, "StandardOutputSensitivity", EXIF, ALLOW_LONG, F, 1, nullptr, {0xFEDCBA99}},
    {ifd::exif_tag::RecommendedExposureIndex, "RecommendedExposureIndex", EXIF, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {ifd::exif_tag::ISOSpeed, "ISOSpeed", EXIF, ALLOW_LONG, F, 1, nullptr, {0x80000000}},
    {ifd::exif_tag::ISOSpeedLatitudeyyy, "ISOSpeedLatitudeyyy", EXIF, ALLOW_LONG, F, 1, nullptr, {0x00050403}},
    {ifd::exif_tag::ISOSpeedLatitudezzz, "ISOSpeedLatitudezzz", EXIF, ALLOW_LONG, F, 1, nullptr, {0x7FFFFFFF}},
    {ifd::exif_tag::ExifVersion, "ExifVersion", EXIF, ALLOW_UNDEFINED, F, 4, nullptr, {'0', '2', '3', '2'}},
    {ifd::exif_tag::DateTimeOriginal, "DateTimeOriginal", EXIF, ALLOW_ASCII, F, 20, "2023:12:31 01:02:03", {}},
    {ifd::exif_tag::DateTimeDigitized, "DateTimeDigitized", EXIF, ALLOW_ASCII, F, 20, "1999:01:02 13:14:15", {}},
    {ifd::exif_tag::OffsetTime, "OffsetTime", EXIF, ALLOW_ASCII, F, 7, "+01:00", {}},
    {ifd::exif_tag::OffsetTimeOriginal, "OffsetTimeOriginal", EXIF, ALLOW_ASCII, F, 7, "-09:30", {}},
    {ifd::exif_tag::OffsetTimeDigitized, "OffsetTimeDigitized", EXIF, ALLOW_ASCII, F, 7, "+14:00", {}},
    {ifd::exif_tag::ComponentsConfiguration, "ComponentsConfiguration", EXIF, ALLOW_UNDEFINED, F, 4, nullptr, {6, 5, 4, 0}},
    {ifd::exif_tag::CompressedBitsPerPixel, "CompressedBitsPerPixel", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {4.5}},
    {ifd::exif_tag::ShutterSpeedValue, "ShutterSpeedValue", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-6.75}},
    {ifd::exif_tag::ApertureValue, "ApertureValue", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {4.96875}},
    {ifd::exif_tag::BrightnessValue, "BrightnessValue", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-2.5}},
    {ifd::exif_tag::ExposureBiasValue, "ExposureBiasValue", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-0.375}},
    {ifd::exif_tag::MaxApertureValue, "MaxApertureValue", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {2.625}},
    {ifd::exif_tag::SubjectDistance, "SubjectDistance", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {12.25}},
    {ifd::exif_tag::MeteringMode, "MeteringMode", EXIF, ALLOW_SHORT, F, 1, nullptr, {255}},
    {ifd::exif_tag::LightSource, "LightSource", EXIF, ALLOW_SHORT, F, 1, nullptr, {24}},
    {ifd::exif_tag::Flash, "Flash", EXIF, ALLOW_SHORT, F, 1, nullptr, {0x5F}},
    {ifd::exif_tag::FocalLength, "FocalLength", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {35.5}},
    {ifd::exif_tag::SubjectArea, "SubjectArea", EXIF, ALLOW_SHORT, A, 2, nullptr, {0x0102, 0x0304, 0x0F05}},
    {ifd::exif_tag::MakerNote, "MakerNote", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::exif_tag::UserComment, "UserComment", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, sizeof(user_comment), LinkTarget::None,
     user_comment},
    {ifd::exif_tag::SubSecTime, "SubSecTime", EXIF, ALLOW_ASCII, A, 1, "1234", {}},
    {ifd::exif_tag::SubSecTimeOriginal, "SubSecTimeOriginal", EXIF, ALLOW_ASCII, A, 1, "4567", {}},
    {ifd::exif_tag::SubSecTimeDigitized, "SubSecTimeDigitized", EXIF, ALLOW_ASCII, A, 1, "89", {}},
    {ifd::exif_tag::Temperature, "Temperature", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-12.5}},
    {ifd::exif_tag::Humidity, "Humidity", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {55.25}},
    {ifd::exif_tag::Pressure, "Pressure", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {1013.25}},
    {ifd::exif_tag::WaterDepth, "WaterDepth", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-3.75}},
    {ifd::exif_tag::Acceleration, "Acceleration", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {9.8125}},
    {ifd::exif_tag::CameraElevationAngle, "CameraElevationAngle", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-45.5}},
    {ifd::exif_tag::FlashpixVersion, "FlashpixVersion", EXIF, ALLOW_UNDEFINED, F, 4, nullptr, {'0', '1', '0', '0'}},
    {ifd::exif_tag::ColorSpace, "ColorSpace", EXIF, ALLOW_SHORT, F, 1, nullptr, {0xFFFF}},
    {ifd::exif_tag::PixelXDimension, "PixelXDimension", EXIF, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {70000}},
    {ifd::exif_tag::PixelYDimension, "PixelYDimension", EXIF, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {ifd::exif_tag::RelatedSoundFile, "RelatedSoundFile", EXIF, ALLOW_ASCII, F, 13, "DSC00001.WAV", {}},
    {ifd::exif_tag::FlashEnergy, "FlashEnergy", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {0.5}},
    {ifd::exif_tag::SpatialFrequencyResponse, "SpatialFrequencyResponse", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::exif_tag::FocalPlaneXResolution, "FocalPlaneXResolution", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {2048.5}},
    {ifd::exif_tag::FocalPlaneYResolution, "FocalPlaneYResolution", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {1536.25}},
    {ifd::exif_tag::FocalPlaneResolutionUnit, "FocalPlaneResolutionUnit", EXIF, ALLOW_SHORT, F, 1, nullptr, {3}},
    {ifd::exif_tag::SubjectLocation, "SubjectLocation", EXIF, ALLOW_SHORT, F, 2, nullptr, {0x0102, 0xFFFF}},
    {ifd::exif_tag::ExposureIndex, "ExposureIndex", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {400.5}},
    {ifd::exif_tag::SensingMethod, "SensingMethod", EXIF, ALLOW_SHORT, F, 1, nullptr, {8}},
    {ifd::exif_tag::FileSource, "FileSource", EXIF, ALLOW_UNDEFINED, F, 1, nullptr, {2}},
    {ifd::exif_tag::SceneType, "SceneType", EXIF, ALLOW_UNDEFINED, F, 1, nullptr, {1}},
    // Two SHORTs, in the file's byte order, before the pattern's bytes: the
    // probe swaps them for a big-endian file.
    {ifd::exif_tag::CFAPattern, "CFAPattern", EXIF, ALLOW_UNDEFINED, A, 1, nullptr,
     {3, 0, 3, 0, 2, 5, 3, 6, 4, 3, 2, 6, 5}, 0, LinkTarget::None, nullptr, 2},
    {ifd::exif_tag::CustomRendered, "CustomRendered", EXIF, ALLOW_SHORT, F, 1, nullptr, {1}},
    {ifd::exif_tag::ExposureMode, "ExposureMode", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::exif_tag::WhiteBalance, "WhiteBalance", EXIF, ALLOW_SHORT, F, 1, nullptr, {1}},
    {ifd::exif_tag::DigitalZoomRatio, "DigitalZoomRatio", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {1.75}},
    {ifd::exif_tag::FocalLengthIn35mmFilm, "FocalLengthIn35mmFilm", EXIF, ALLOW_SHORT, F, 1, nullptr, {0x0102}},
    {ifd::exif_tag::SceneCaptureType, "SceneCaptureType", EXIF, ALLOW_SHORT, F, 1, nullptr, {3}},
    {ifd::exif_tag::GainControl, "GainControl", EXIF, ALLOW_SHORT, F, 1, nullptr, {4}},
    {ifd::exif_tag::Contrast, "Contrast", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::exif_tag::Saturation, "Saturation", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::exif_tag::Sharpness, "Sharpness", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::exif_tag::DeviceSettingDescription, "DeviceSettingDescription", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::exif_tag::SubjectDistanceRange, "SubjectDistanceRange", EXIF, ALLOW_SHORT, F, 1, nullptr, {3}},
    {ifd::exif_tag::ImageUniqueID, "ImageUniqueID", EXIF, ALLOW_ASCII, F, 33, "0123456789abcdef0123456789ABCDEF", {}},
    {ifd::exif_tag::CameraOwnerName, "CameraOwnerName", EXIF, ALLOW_ASCII, A, 1, "An owner", {}},
    {ifd::exif_tag::BodySerialNumber, "BodySerialNumber", EXIF, ALLOW_ASCII, A, 1, "0001", {}},
    {ifd::exif_tag::LensSpecification, "LensSpecification", EXIF, ALLOW_RATIONAL, F, 4, nullptr, {18, 55, 3.5, 5.625}},
    {ifd::exif_tag::LensMake, "LensMake", EXIF, ALLOW_ASCII, A, 1, "A lens maker", {}},
    {ifd::exif_tag::LensModel, "LensModel", EXIF, ALLOW_ASCII, A, 1, "A lens model, out of line.", {}},
    {ifd::exif_tag::LensSerialNumber, "LensSerialNumber", EXIF, ALLOW_ASCII, A, 1, "L-42", {}},
    {ifd::exif_tag::CompositeImage, "CompositeImage", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {ifd::exif_tag::SourceImageNumberOfCompositeImage, "SourceImageNumberOfCompositeImage", EXIF, ALLOW_SHORT, F, 2, nullptr, {0x0102, 0xFFFF}},
    {ifd::exif_tag::SourceExposureTimesOfCompositeImage, "SourceExposureTimesOfCompositeImage", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {ifd::exif_tag::Gamma, "Gamma", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {2.2001953125}},
    {ifd::exif_tag::InteroperabilityIFD, "InteroperabilityIFD", EXIF, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Interop},

    // EXIF 2.32's GPS attribute information
    {ifd::gps_tag::GPSVersionID, "GPSVersionID", GPS, ALLOW_BYTE, F, 4, nullptr, {2, 3, 0, 0}},
    {ifd::gps_tag::GPSLatitudeRef, "GPSLatitudeRef", GPS, ALLOW_ASCII, F, 2, "S", {}},
    {ifd::gps_tag::GPSLatitude, "GPSLatitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {48, 8, 30.1}},
    {ifd::gps_tag::GPSLongitudeRef, "GPSLongitudeRef", GPS, ALLOW_ASCII, F, 2, "W", {}},
    {ifd::gps_tag::GPSLongitude, "GPSLongitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {179, 59, 1.0 / 3.0}},
    {ifd::gps_tag::GPSAltitudeRef, "GPSAltitudeRef", GPS, ALLOW_BYTE, F, 1, nullptr, {1}},
    {ifd::gps_tag::GPSAltitude, "GPSAltitude", GPS, ALLOW_RATIONAL, F, 1, nullptr, {8848.86}},
    {ifd::gps_tag::GPSTimeStamp, "GPSTimeStamp", GPS, ALLOW_RATIONAL, F, 3, nullptr, {23, 59, 59.999}},
    {ifd::gps_tag::GPSSatellites, "GPSSatellites", GPS, ALLOW_ASCII, A, 1, "04 07 12 19 22 25 31", {}},
    {ifd::gps_tag::GPSStatus, "GPSStatus", GPS, ALLOW_ASCII, F, 2, "V", {}},
    {ifd::gps_tag::GPSMeasureMode, "GPSMeasureMode", GPS, ALLOW_ASCII, F, 2, "3", {}},
    {ifd::gps_tag::GPSDOP, "GPSDOP", GPS, ALLOW_RATIONAL, F, 1, nullptr, {0.7}},
    {ifd::gps_tag::GPSSpeedRef, "GPSSpeedRef", GPS, ALLOW_ASCII, F, 2, "N", {}},
    {ifd::gps_tag::GPSSpeed, "GPSSpeed", GPS, ALLOW_RATIONAL, F, 1, nullptr, {12.3}},
    {ifd::gps_tag::GPSTrackRef, "GPSTrackRef", GPS, ALLOW_ASCII, F, 2, "M", {}},
    {ifd::gps_tag::GPSTrack, "GPSTrack", GPS, ALLOW_RATIONAL, F, 1, nullptr, {359.99}},
    {ifd::gps_tag::GPSImgDirectionRef, "GPSImgDirectionRef", GPS, ALLOW_ASCII, F, 2, "T", {}},
    {ifd::gps_tag::GPSImgDirection, "GPSImgDirection", GPS, ALLOW_RATIONAL, F, 1, nullptr, {0.1}},
    {ifd::gps_tag::GPSMapDatum, "GPSMapDatum", GPS, ALLOW_ASCII, A, 1, "WGS-84", {}},
    {ifd::gps_tag::GPSDestLatitudeRef, "GPSDestLatitudeRef", GPS, ALLOW_ASCII, F, 2, "N", {}},
    {ifd::gps_tag::GPSDestLatitude, "GPSDestLatitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {89, 0.2, 1.0 / 7.0}},
    {ifd::gps_tag::GPSDestLongitudeRef, "GPSDestLongitudeRef", GPS, ALLOW_ASCII, F, 2, "E", {}},
    {ifd::gps_tag::GPSDestLongitude, "GPSDestLongitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {0, 59.9, 2.0 / 3.0}},
    {ifd::gps_tag::GPSDestBearingRef, "GPSDestBearingRef", GPS, ALLOW_ASCII, F, 2, "M", {}},
    {ifd::gps_tag::GPSDestBearing, "GPSDestBearing", GPS, ALLOW_RATIONAL, F, 1, nullptr, {271.3}},
    {ifd::gps_tag::GPSDestDistanceRef, "GPSDestDistanceRef", GPS, ALLOW_ASCII, F, 2, "K", {}},
    {ifd::gps_tag::GPSDestDistance, "GPSDestDistance", GPS, ALLOW_RATIONAL, F, 1, nullptr, {1234.56}},
    {ifd::gps_tag::GPSProcessingMethod, "GPSProcessingMethod", GPS, ALLOW_UNDEFINED, A, 1, nullptr, {}, sizeof(processing_method),
     LinkTarget::None, processing_method},
    {ifd::gps_tag::GPSAreaInformation, "GPSAreaInformation", GPS, ALLOW_UNDEFINED, A, 1, nullptr, {}, sizeof(area_information),
     LinkTarget::None, area_information},
    {ifd::gps_tag::GPSDateStamp, "GPSDateStamp", GPS, ALLOW_ASCII, F, 11, "2024:02:29", {}},
    {ifd::gps_tag::GPSDifferential, "GPSDifferential", GPS, ALLOW_SHORT, F, 1, nullptr, {1}},
    {ifd::gps_tag::GPSHPositioningError, "GPSHPositioningError", GPS, ALLOW_RATIONAL, F, 1, nullptr, {2.9}},

    // EXIF 2.32's Interoperability directory: an index its rules name, and
    // their version.
    {ifd::interop_tag::InteroperabilityIndex, "InteroperabilityIndex", INTEROP, ALLOW_ASCII, F, 4, "R98", {}},
    {ifd::interop_tag::InteroperabilityVersion, "InteroperabilityVersion", INTEROP, ALLOW_UNDEFINED, F, 4, nullptr, {'0', '1', '0', '0'}},
};
// clang-format on

const size_t field_count = sizeof(fields) / sizeof(fields[0]);

uint64_t Pattern(uint16_t tag, uint32_t i, unsigned size)
{
    // 151 is odd, so 256 steps of it visit every byte once; each further
    // byte of a value is the first one turned by another odd step.
    const uint64_t first = (uint64_t{tag} * 7 + uint64_t{i} * 151 + (uint64_t{i} >> 8) * 37) & 0xFF;
    uint64_t v = 0;
    for (uint64_t b = 0; b < size; b++)
        v |= ((first + b * 0x55) & 0xFF) << (8 * b);
    return v;
}

} // namespace field
