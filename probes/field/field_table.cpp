// One row per field and page: the tag, the name its standard gives, where
// the probe writes it, the on-disk types and count that standard allows, and
// a value chosen to catch faults: bytes that all differ, each type's
// extremes, arrays long enough to be stored out of line, and, where the
// library keeps a field as a double (the GPS fields, StoNits,
// SMin/SMaxSampleValue), fractions that a FLOAT cannot hold. Where the
// library's interface takes a float, the fractions are ones that a float
// and a RATIONAL both hold exactly.
#include "field_table.h"

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
    {254, "NewSubfileType", MAIN, ALLOW_LONG, F, 1, nullptr, {2}},
    // Deprecated by TIFF 6.0 itself in favour of NewSubfileType.
    {255, "SubfileType", NONE, ALLOW_SHORT, F, 1, nullptr, {3}},
    {256, "ImageWidth", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {257, "ImageLength", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {258, "BitsPerSample", MAIN, ALLOW_SHORT, S, 1, nullptr, {}},
    {259, "Compression", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {262, "PhotometricInterpretation", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {263, "Threshholding", FAX3, ALLOW_SHORT, F, 1, nullptr, {2}},
    {264, "CellWidth", FAX3, ALLOW_SHORT, F, 1, nullptr, {5}},
    {265, "CellLength", FAX3, ALLOW_SHORT, F, 1, nullptr, {7}},
    {266, "FillOrder", FAX3, ALLOW_SHORT, F, 1, nullptr, {2}},
    {269, "DocumentName", MAIN, ALLOW_ASCII, A, 1, "field_probe: a document name", {}},
    {270, "ImageDescription", MAIN, ALLOW_ASCII, A, 1, "An image description, out of line.", {}},
    {271, "Make", MAIN, ALLOW_ASCII, A, 1, "ab", {}},
    {272, "Model", MAIN, ALLOW_ASCII, A, 1, "Model 0123456789", {}},
    {273, "StripOffsets", NONE, ALLOW_SHORT | ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {274, "Orientation", MAIN, ALLOW_SHORT, F, 1, nullptr, {8}},
    {277, "SamplesPerPixel", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {278, "RowsPerStrip", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {279, "StripByteCounts", NONE, ALLOW_SHORT | ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {280, "MinSampleValue", MAIN, ALLOW_SHORT, S, 1, nullptr, {3}},
    {281, "MaxSampleValue", MAIN, ALLOW_SHORT, S, 1, nullptr, {251}},
    {282, "XResolution", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {300.5}},
    {283, "YResolution", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {72.25}},
    {284, "PlanarConfiguration", MAIN, ALLOW_SHORT, F, 1, nullptr, {}},
    {285, "PageName", MAIN, ALLOW_ASCII, A, 1, "page 0", {}},
    {286, "XPosition", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.5}},
    {287, "YPosition", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {2.25}},
    {288, "FreeOffsets", NONE, ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {289, "FreeByteCounts", NONE, ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {290, "GrayResponseUnit", PAL, ALLOW_SHORT, F, 1, nullptr, {3}},
    {291, "GrayResponseCurve", PAL, ALLOW_SHORT, L, 1, nullptr, {}, 1},
    {296, "ResolutionUnit", MAIN, ALLOW_SHORT, F, 1, nullptr, {3}},
    {297, "PageNumber", MAIN, ALLOW_SHORT, F, 2, nullptr, {0x0102, 0xFFFE}},
    // TIFF 5.0's, which TIFF 6.0 dropped; its type and count are 5.0's.
    {300, "ColorResponseUnit", NONE, ALLOW_SHORT, F, 1, nullptr, {4}},
    {301, "TransferFunction", MAIN, ALLOW_SHORT, L, 3, nullptr, {}, 1},
    {301, "TransferFunction", PAL, ALLOW_SHORT, L, 1, nullptr, {}, 1},
    {305, "Software", MAIN, ALLOW_ASCII, A, 1, "field_probe v2", {}},
    {306, "DateTime", MAIN, ALLOW_ASCII, F, 20, "2024:02:29 23:59:58", {}},
    {315, "Artist", MAIN, ALLOW_ASCII, A, 1, "An artist.", {}},
    {316, "HostComputer", MAIN, ALLOW_ASCII, A, 1, "host", {}},
    {317, "Predictor", MAIN, ALLOW_SHORT, F, 1, nullptr, {2}},
    {318, "WhitePoint", MAIN, ALLOW_RATIONAL, F, 2, nullptr, {0.3125, 0.328125}},
    {319, "PrimaryChromaticities", MAIN, ALLOW_RATIONAL, F, 6, nullptr,
     {0.640625, 0.328125, 0.296875, 0.59375, 0.15625, 0.0625}},
    {320, "ColorMap", PAL, ALLOW_SHORT, L, 3, nullptr, {}, 1},
    {321, "HalftoneHints", MAIN, ALLOW_SHORT, F, 2, nullptr, {0x0C, 0xF3}},
    {322, "TileWidth", FLT, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {323, "TileLength", FLT, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {}},
    {324, "TileOffsets", NONE, ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {325, "TileByteCounts", NONE, ALLOW_SHORT | ALLOW_LONG | ALLOW_LONG8, A, 1, nullptr, {}},
    {330, "SubIFDs", NONE, ALLOW_OFFSET, A, 1, nullptr, {}},
    {332, "InkSet", MAIN, ALLOW_SHORT, F, 1, nullptr, {2}},
    {333, "InkNames", MAIN, ALLOW_ASCII, A, 1, "Cyan\0Magenta\0Yellow\0Black inks", {}, 31},
    {334, "NumberOfInks", MAIN, ALLOW_SHORT, F, 1, nullptr, {4}},
    {336, "DotRange", MAIN, ALLOW_BYTE | ALLOW_SHORT, P, 2, nullptr, {5, 250}},
    {337, "TargetPrinter", MAIN, ALLOW_ASCII, A, 1, "A target printer", {}},
    {338, "ExtraSamples", FLT, ALLOW_SHORT, A, 1, nullptr, {2}},
    {339, "SampleFormat", FLT, ALLOW_SHORT, S, 1, nullptr, {3}},
    {340, "SMinSampleValue", FLT, ALLOW_NUMERIC, S, 1, nullptr, {-0.100000001490116119384765625}},
    {341, "SMaxSampleValue", FLT, ALLOW_NUMERIC, S, 1, nullptr, {2.71828174591064453125}},
    // Adobe PageMaker 6.0 technical notes
    {343, "ClipPath", MAIN, ALLOW_BYTE, A, 1, nullptr, {}, 41},
    {344, "XClipPathUnits", MAIN, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {345, "YClipPathUnits", MAIN, ALLOW_LONG, F, 1, nullptr, {0xFFFFFFFE}},
    {346, "Indexed", PAL, ALLOW_SHORT, F, 1, nullptr, {1}},
    // TIFF-FX (RFC 2301)
    // Any IFD will do for the offset: the GPS directory.
    {400, "GlobalParametersIFD", MAIN, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Gps},
    {401, "ProfileType", MAIN, ALLOW_LONG, F, 1, nullptr, {1}},
    {402, "FaxProfile", MAIN, ALLOW_BYTE, F, 1, nullptr, {3}},
    {403, "CodingMethods", MAIN, ALLOW_LONG, F, 1, nullptr, {0x3E}},
    {404, "VersionYear", MAIN, ALLOW_BYTE, F, 4, nullptr, {'1', '9', '9', '8'}},
    {405, "ModeNumber", MAIN, ALLOW_BYTE, F, 1, nullptr, {2}},
    {433, "Decode", MAIN, ALLOW_SRATIONAL, S, 2, nullptr,
     {-0.5, 255.5, 0.25, -128.75, 1.125, 65535.5, -2.5, 0.0625}},
    {434, "DefaultImageColor", MAIN, ALLOW_SHORT, S, 1, nullptr, {0x0102, 0xFFFF, 0, 0x8000}},
    {435, "T82Options", MAIN, ALLOW_LONG, F, 1, nullptr, {1}},
    {529, "YCbCrCoefficients", YCC, ALLOW_RATIONAL, F, 3, nullptr,
     {0.2998046875, 0.5869140625, 0.1142578125}},
    {530, "YCbCrSubSampling", YCC, ALLOW_SHORT, F, 2, nullptr, {2, 1}},
    {531, "YCbCrPositioning", YCC, ALLOW_SHORT, F, 1, nullptr, {2}},
    {532, "ReferenceBlackWhite", MAIN, ALLOW_RATIONAL, F, 6, nullptr,
     {16, 235, 128.5, 240, 127.5, 240.25}},
    {559, "StripRowCounts", MAIN, ALLOW_LONG, A, 1, nullptr, {5}},
    // Adobe XMP, part 3
    {700, "XMLPacket", MAIN, ALLOW_BYTE | ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    // SGI and Pixar's registered private fields
    {32995, "Matteing", NONE, ALLOW_SHORT, F, 1, nullptr, {}},
    {32996, "DataType", NONE, ALLOW_SHORT, S, 1, nullptr, {}},
    {32997, "ImageDepth", MAIN, ALLOW_LONG, F, 1, nullptr, {1}},
    {32998, "TileDepth", FLT, ALLOW_LONG, F, 1, nullptr, {1}},
    {33300, "ImageFullWidth", MAIN, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {33301, "ImageFullLength", MAIN, ALLOW_LONG, F, 1, nullptr, {0xFEDCBA98}},
    {33302, "TextureFormat", MAIN, ALLOW_ASCII, A, 1, "8-bit RGBA", {}},
    {33303, "TextureWrapModes", MAIN, ALLOW_ASCII, A, 1, "repeat", {}},
    {33304, "FieldOfViewCotangent", MAIN, ALLOW_FLOAT, F, 1, nullptr, {flt_max}},
    {33305, "MatrixWorldToScreen", MAIN, ALLOW_FLOAT, F, 16, nullptr,
     {flt_true_min, -0.0, flt_max, -flt_max, 1.0, 0.100000001490116119384765625, flt_min, -1.0,
      2.0, 0.5, -0.25, 3.0, 1024.0, -65536.0, 0.125, 7.0}},
    {33306, "MatrixWorldToCamera", MAIN, ALLOW_FLOAT, F, 16, nullptr,
     {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0, 12.0, 13.0, 14.0, 15.0, -16.5}},
    // TIFF/EP
    {33421, "CFARepeatPatternDim", MAIN, ALLOW_SHORT, F, 2, nullptr, {3, 5}},
    {33422, "CFAPattern", MAIN, ALLOW_BYTE, A, 1, nullptr, {2, 5, 3, 6, 4, 3, 2, 6, 5, 4, 6, 4, 2, 3, 5}},
    {33432, "Copyright", MAIN, ALLOW_ASCII, A, 1, "Copyright: field_probe", {}},
    {33723, "IPTC/NAA", MAIN, ALLOW_BYTE | ALLOW_UNDEFINED | ALLOW_LONG | ALLOW_ASCII, A, 1, nullptr, {}, 40},
    // Adobe Photoshop's TIFF technical notes
    {34377, "Photoshop", MAIN, ALLOW_BYTE | ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {34665, "ExifIFD", MAIN, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Exif},
    {34675, "InterColorProfile", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {34732, "ImageLayer", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 2, nullptr, {1, 2}},
    {34853, "GPSInfoIFD", MAIN, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Gps},
    // SGI's fax fields
    {34908, "FaxRecvParams", MAIN, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {34909, "FaxSubAddress", MAIN, ALLOW_ASCII, A, 1, "0123#456", {}},
    {34910, "FaxRecvTime", MAIN, ALLOW_LONG, F, 1, nullptr, {0x89ABCDEF}},
    {34911, "FaxDcs", MAIN, ALLOW_ASCII, A, 1, "DCS0", {}},
    {37439, "StoNits", MAIN, ALLOW_DOUBLE, F, 1, nullptr, {1.0 / 3.0}},
    {37724, "ImageSourceData", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    // DNG 1.6
    {50706, "DNGVersion", MAIN, ALLOW_BYTE, F, 4, nullptr, {1, 6, 0, 0}},
    {50707, "DNGBackwardVersion", MAIN, ALLOW_BYTE, F, 4, nullptr, {1, 4, 0, 0}},
    {50708, "UniqueCameraModel", MAIN, ALLOW_ASCII, A, 1, "A unique camera model.", {}},
    {50709, "LocalizedCameraModel", MAIN, ALLOW_ASCII | ALLOW_BYTE, A, 1, nullptr, {}, sizeof(localized_model),
     LinkTarget::None, localized_model},
    {50710, "CFAPlaneColor", MAIN, ALLOW_BYTE, A, 1, nullptr, {0, 1, 2}},
    {50711, "CFALayout", MAIN, ALLOW_SHORT, F, 1, nullptr, {2}},
    {50712, "LinearizationTable", MAIN, ALLOW_SHORT, A, 1, nullptr, {}, 65},
    {50713, "BlackLevelRepeatDim", MAIN, ALLOW_SHORT, F, 2, nullptr, {2, 3}},
    {50714, "BlackLevel", MAIN, ALLOW_SHORT | ALLOW_LONG | ALLOW_RATIONAL, A, 1, nullptr,
     {64.5, 0.25, 1023.75, 4, 0, 65535.5, 2.125, 7, 3.5, 96.25, 17, 250.75,
      5.5, 6, 1000.5, 0.75, 9.125, 63, 255.25, 12, 2.5, 4000.5, 33.75, 8.5}},
    {50715, "BlackLevelDeltaH", MAIN, ALLOW_SRATIONAL, A, 1, nullptr, {-0.5, 0.25, -3.125, 4, 2.75}},
    {50716, "BlackLevelDeltaV", MAIN, ALLOW_SRATIONAL, A, 1, nullptr, {0.75, -1.5, 6.25}},
    {50717, "WhiteLevel", MAIN, ALLOW_SHORT | ALLOW_LONG, S, 1, nullptr, {0xFFFF, 4095, 0x01020304, 1}},
    {50718, "DefaultScale", MAIN, ALLOW_RATIONAL, F, 2, nullptr, {1.5, 0.75}},
    {50719, "DefaultCropOrigin", MAIN, ALLOW_SHORT | ALLOW_LONG | ALLOW_RATIONAL, F, 2, nullptr, {1.5, 0.25}},
    {50720, "DefaultCropSize", MAIN, ALLOW_SHORT | ALLOW_LONG | ALLOW_RATIONAL, F, 2, nullptr, {3.25, 2.5}},
    {50721, "ColorMatrix1", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, -0.5, 0.25, -0.125, 2.0, -2.5, 0.0625, -1.0, 3.5}},
    {50722, "ColorMatrix2", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {-1.0, 0.5, -0.25, 0.125, -2.0, 2.5, -0.0625, 1.0, -3.5}},
    {50723, "CameraCalibration1", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, 0, 0, 0, 1.03125, 0, 0, 0, 0.96875}},
    {50724, "CameraCalibration2", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {0.5, 0, 0, 0, -1.03125, 0, 0, 0, 2.96875}},
    {50725, "ReductionMatrix1", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {0.25, 0.5, 0.25, -0.5, 1.0, 0.5, 0.125, 0.75, 0.125}},
    {50726, "ReductionMatrix2", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {0.75, 0.5, -0.25, 0.5, 1.0, -0.5, 0.375, 0.25, 0.375}},
    {50727, "AnalogBalance", MAIN, ALLOW_RATIONAL, A, 1, nullptr, {1.0, 1.25, 0.875}},
    {50728, "AsShotNeutral", MAIN, ALLOW_SHORT | ALLOW_RATIONAL, A, 1, nullptr, {0.5, 1.0, 0.625}},
    {50729, "AsShotWhiteXY", MAIN, ALLOW_RATIONAL, F, 2, nullptr, {0.34375, 0.359375}},
    {50730, "BaselineExposure", MAIN, ALLOW_SRATIONAL, F, 1, nullptr, {-1.25}},
    {50731, "BaselineNoise", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {0.625}},
    {50732, "BaselineSharpness", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.375}},
    {50733, "BayerGreenSplit", MAIN, ALLOW_LONG, F, 1, nullptr, {2500}},
    {50734, "LinearResponseLimit", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {0.875}},
    {50735, "CameraSerialNumber", MAIN, ALLOW_ASCII, A, 1, "SN 01234567890", {}},
    {50736, "LensInfo", MAIN, ALLOW_RATIONAL, F, 4, nullptr, {24, 70, 2.75, 4}},
    {50737, "ChromaBlurRadius", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {3.5}},
    {50738, "AntiAliasStrength", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {0.25}},
    {50739, "ShadowScale", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.0625}},
    {50740, "DNGPrivateData", MAIN, ALLOW_BYTE, A, 1, nullptr, {}, 41},
    {50741, "MakerNoteSafety", MAIN, ALLOW_SHORT, F, 1, nullptr, {1}},
    {50778, "CalibrationIlluminant1", MAIN, ALLOW_SHORT, F, 1, nullptr, {17}},
    {50779, "CalibrationIlluminant2", MAIN, ALLOW_SHORT, F, 1, nullptr, {21}},
    {50780, "BestQualityScale", MAIN, ALLOW_RATIONAL, F, 1, nullptr, {1.5}},
    {50781, "RawDataUniqueID", MAIN, ALLOW_BYTE, F, 16, nullptr, {}, 16},
    {50827, "OriginalRawFileName", MAIN, ALLOW_ASCII | ALLOW_BYTE, A, 1, nullptr, {}, sizeof(raw_file_name),
     LinkTarget::None, raw_file_name},
    {50828, "OriginalRawFileData", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {50829, "ActiveArea", MAIN, ALLOW_SHORT | ALLOW_LONG, F, 4, nullptr, {2, 0x10203, 5, 0x10208}},
    {50830, "MaskedAreas", MAIN, ALLOW_SHORT | ALLOW_LONG, A, 4, nullptr,
     {2, 3, 4, 0x100FE, 2, 0x10210, 5, 0x11000, 3, 0x11001, 4, 70001}},
    {50831, "AsShotICCProfile", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {50832, "AsShotPreProfileMatrix", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, 0.5, -0.5, 0, 1.0, 0, -0.25, 0.25, 1.0}},
    {50833, "CurrentICCProfile", MAIN, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {50834, "CurrentPreProfileMatrix", MAIN, ALLOW_SRATIONAL, A, 1, nullptr,
     {1.0, -0.5, 0.5, 0, 1.0, 0, 0.25, -0.25, 1.0}},

    // The fields a codec adds once its Compression is set. Predictor with
    // Adobe Deflate (8), as 3, the floating-point predictor of Adobe's
    // technical note 3; JPEGTables with JPEG (7) as technical note 2 gives
    // it, the bytes of a whole tables-only stream.
    {317, "Predictor", FLT, ALLOW_SHORT, F, 1, nullptr, {3}},
    {347, "JPEGTables", YCC, ALLOW_UNDEFINED, A, 1, nullptr, {}, tables_size, LinkTarget::None,
     tables_stream.bytes},
    {292, "T4Options", FAX3, ALLOW_LONG, F, 1, nullptr, {5}},
    {293, "T6Options", FAX4, ALLOW_LONG, F, 1, nullptr, {2}},
    {326, "BadFaxLines", FAX3, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {0x10302}},
    {327, "CleanFaxData", FAX3, ALLOW_SHORT, F, 1, nullptr, {2}},
    {328, "ConsecutiveBadFaxLines", FAX3, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {0x10203}},

    // EXIF 2.32
    {33434, "ExposureTime", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {0.0078125}},
    {33437, "FNumber", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {5.625}},
    {34850, "ExposureProgram", EXIF, ALLOW_SHORT, F, 1, nullptr, {7}},
    {34852, "SpectralSensitivity", EXIF, ALLOW_ASCII, A, 1, "ASTM E1708", {}},
    {34855, "PhotographicSensitivity", EXIF, ALLOW_SHORT, A, 1, nullptr, {100, 0xFFFF, 0x0102}},
    {34856, "OECF", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {34864, "SensitivityType", EXIF, ALLOW_SHORT, F, 1, nullptr, {7}},
    {34865, "StandardOutputSensitivity", EXIF, ALLOW_LONG, F, 1, nullptr, {0xFEDCBA99}},
    {34866, "RecommendedExposureIndex", EXIF, ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {34867, "ISOSpeed", EXIF, ALLOW_LONG, F, 1, nullptr, {0x80000000}},
    {34868, "ISOSpeedLatitudeyyy", EXIF, ALLOW_LONG, F, 1, nullptr, {0x00050403}},
    {34869, "ISOSpeedLatitudezzz", EXIF, ALLOW_LONG, F, 1, nullptr, {0x7FFFFFFF}},
    {36864, "ExifVersion", EXIF, ALLOW_UNDEFINED, F, 4, nullptr, {'0', '2', '3', '2'}},
    {36867, "DateTimeOriginal", EXIF, ALLOW_ASCII, F, 20, "2023:12:31 01:02:03", {}},
    {36868, "DateTimeDigitized", EXIF, ALLOW_ASCII, F, 20, "1999:01:02 13:14:15", {}},
    {36880, "OffsetTime", EXIF, ALLOW_ASCII, F, 7, "+01:00", {}},
    {36881, "OffsetTimeOriginal", EXIF, ALLOW_ASCII, F, 7, "-09:30", {}},
    {36882, "OffsetTimeDigitized", EXIF, ALLOW_ASCII, F, 7, "+14:00", {}},
    {37121, "ComponentsConfiguration", EXIF, ALLOW_UNDEFINED, F, 4, nullptr, {6, 5, 4, 0}},
    {37122, "CompressedBitsPerPixel", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {4.5}},
    {37377, "ShutterSpeedValue", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-6.75}},
    {37378, "ApertureValue", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {4.96875}},
    {37379, "BrightnessValue", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-2.5}},
    {37380, "ExposureBiasValue", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-0.375}},
    {37381, "MaxApertureValue", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {2.625}},
    {37382, "SubjectDistance", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {12.25}},
    {37383, "MeteringMode", EXIF, ALLOW_SHORT, F, 1, nullptr, {255}},
    {37384, "LightSource", EXIF, ALLOW_SHORT, F, 1, nullptr, {24}},
    {37385, "Flash", EXIF, ALLOW_SHORT, F, 1, nullptr, {0x5F}},
    {37386, "FocalLength", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {35.5}},
    {37396, "SubjectArea", EXIF, ALLOW_SHORT, A, 2, nullptr, {0x0102, 0x0304, 0x0F05}},
    {37500, "MakerNote", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {37510, "UserComment", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, sizeof(user_comment), LinkTarget::None,
     user_comment},
    {37520, "SubSecTime", EXIF, ALLOW_ASCII, A, 1, "1234", {}},
    {37521, "SubSecTimeOriginal", EXIF, ALLOW_ASCII, A, 1, "4567", {}},
    {37522, "SubSecTimeDigitized", EXIF, ALLOW_ASCII, A, 1, "89", {}},
    {37888, "Temperature", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-12.5}},
    {37889, "Humidity", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {55.25}},
    {37890, "Pressure", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {1013.25}},
    {37891, "WaterDepth", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-3.75}},
    {37892, "Acceleration", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {9.8125}},
    {37893, "CameraElevationAngle", EXIF, ALLOW_SRATIONAL, F, 1, nullptr, {-45.5}},
    {40960, "FlashpixVersion", EXIF, ALLOW_UNDEFINED, F, 4, nullptr, {'0', '1', '0', '0'}},
    {40961, "ColorSpace", EXIF, ALLOW_SHORT, F, 1, nullptr, {0xFFFF}},
    {40962, "PixelXDimension", EXIF, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {70000}},
    {40963, "PixelYDimension", EXIF, ALLOW_SHORT | ALLOW_LONG, F, 1, nullptr, {0x01020304}},
    {40964, "RelatedSoundFile", EXIF, ALLOW_ASCII, F, 13, "DSC00001.WAV", {}},
    {41483, "FlashEnergy", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {0.5}},
    {41484, "SpatialFrequencyResponse", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {41486, "FocalPlaneXResolution", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {2048.5}},
    {41487, "FocalPlaneYResolution", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {1536.25}},
    {41488, "FocalPlaneResolutionUnit", EXIF, ALLOW_SHORT, F, 1, nullptr, {3}},
    {41492, "SubjectLocation", EXIF, ALLOW_SHORT, F, 2, nullptr, {0x0102, 0xFFFF}},
    {41493, "ExposureIndex", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {400.5}},
    {41495, "SensingMethod", EXIF, ALLOW_SHORT, F, 1, nullptr, {8}},
    {41728, "FileSource", EXIF, ALLOW_UNDEFINED, F, 1, nullptr, {2}},
    {41729, "SceneType", EXIF, ALLOW_UNDEFINED, F, 1, nullptr, {1}},
    // Two SHORTs, in the file's byte order, before the pattern's bytes: the
    // probe swaps them for a big-endian file.
    {41730, "CFAPattern", EXIF, ALLOW_UNDEFINED, A, 1, nullptr,
     {3, 0, 3, 0, 2, 5, 3, 6, 4, 3, 2, 6, 5}, 0, LinkTarget::None, nullptr, 2},
    {41985, "CustomRendered", EXIF, ALLOW_SHORT, F, 1, nullptr, {1}},
    {41986, "ExposureMode", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {41987, "WhiteBalance", EXIF, ALLOW_SHORT, F, 1, nullptr, {1}},
    {41988, "DigitalZoomRatio", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {1.75}},
    {41989, "FocalLengthIn35mmFilm", EXIF, ALLOW_SHORT, F, 1, nullptr, {0x0102}},
    {41990, "SceneCaptureType", EXIF, ALLOW_SHORT, F, 1, nullptr, {3}},
    {41991, "GainControl", EXIF, ALLOW_SHORT, F, 1, nullptr, {4}},
    {41992, "Contrast", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {41993, "Saturation", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {41994, "Sharpness", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {41995, "DeviceSettingDescription", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {41996, "SubjectDistanceRange", EXIF, ALLOW_SHORT, F, 1, nullptr, {3}},
    {42016, "ImageUniqueID", EXIF, ALLOW_ASCII, F, 33, "0123456789abcdef0123456789ABCDEF", {}},
    {42032, "CameraOwnerName", EXIF, ALLOW_ASCII, A, 1, "An owner", {}},
    {42033, "BodySerialNumber", EXIF, ALLOW_ASCII, A, 1, "0001", {}},
    {42034, "LensSpecification", EXIF, ALLOW_RATIONAL, F, 4, nullptr, {18, 55, 3.5, 5.625}},
    {42035, "LensMake", EXIF, ALLOW_ASCII, A, 1, "A lens maker", {}},
    {42036, "LensModel", EXIF, ALLOW_ASCII, A, 1, "A lens model, out of line.", {}},
    {42037, "LensSerialNumber", EXIF, ALLOW_ASCII, A, 1, "L-42", {}},
    {42080, "CompositeImage", EXIF, ALLOW_SHORT, F, 1, nullptr, {2}},
    {42081, "SourceImageNumberOfCompositeImage", EXIF, ALLOW_SHORT, F, 2, nullptr, {0x0102, 0xFFFF}},
    {42082, "SourceExposureTimesOfCompositeImage", EXIF, ALLOW_UNDEFINED, A, 1, nullptr, {}, 41},
    {42240, "Gamma", EXIF, ALLOW_RATIONAL, F, 1, nullptr, {2.2001953125}},
    {40965, "InteroperabilityIFD", EXIF, ALLOW_OFFSET, F, 1, nullptr, {}, 0, LinkTarget::Interop},

    // EXIF 2.32's GPS attribute information
    {0, "GPSVersionID", GPS, ALLOW_BYTE, F, 4, nullptr, {2, 3, 0, 0}},
    {1, "GPSLatitudeRef", GPS, ALLOW_ASCII, F, 2, "S", {}},
    {2, "GPSLatitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {48, 8, 30.1}},
    {3, "GPSLongitudeRef", GPS, ALLOW_ASCII, F, 2, "W", {}},
    {4, "GPSLongitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {179, 59, 1.0 / 3.0}},
    {5, "GPSAltitudeRef", GPS, ALLOW_BYTE, F, 1, nullptr, {1}},
    {6, "GPSAltitude", GPS, ALLOW_RATIONAL, F, 1, nullptr, {8848.86}},
    {7, "GPSTimeStamp", GPS, ALLOW_RATIONAL, F, 3, nullptr, {23, 59, 59.999}},
    {8, "GPSSatellites", GPS, ALLOW_ASCII, A, 1, "04 07 12 19 22 25 31", {}},
    {9, "GPSStatus", GPS, ALLOW_ASCII, F, 2, "V", {}},
    {10, "GPSMeasureMode", GPS, ALLOW_ASCII, F, 2, "3", {}},
    {11, "GPSDOP", GPS, ALLOW_RATIONAL, F, 1, nullptr, {0.7}},
    {12, "GPSSpeedRef", GPS, ALLOW_ASCII, F, 2, "N", {}},
    {13, "GPSSpeed", GPS, ALLOW_RATIONAL, F, 1, nullptr, {12.3}},
    {14, "GPSTrackRef", GPS, ALLOW_ASCII, F, 2, "M", {}},
    {15, "GPSTrack", GPS, ALLOW_RATIONAL, F, 1, nullptr, {359.99}},
    {16, "GPSImgDirectionRef", GPS, ALLOW_ASCII, F, 2, "T", {}},
    {17, "GPSImgDirection", GPS, ALLOW_RATIONAL, F, 1, nullptr, {0.1}},
    {18, "GPSMapDatum", GPS, ALLOW_ASCII, A, 1, "WGS-84", {}},
    {19, "GPSDestLatitudeRef", GPS, ALLOW_ASCII, F, 2, "N", {}},
    {20, "GPSDestLatitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {89, 0.2, 1.0 / 7.0}},
    {21, "GPSDestLongitudeRef", GPS, ALLOW_ASCII, F, 2, "E", {}},
    {22, "GPSDestLongitude", GPS, ALLOW_RATIONAL, F, 3, nullptr, {0, 59.9, 2.0 / 3.0}},
    {23, "GPSDestBearingRef", GPS, ALLOW_ASCII, F, 2, "M", {}},
    {24, "GPSDestBearing", GPS, ALLOW_RATIONAL, F, 1, nullptr, {271.3}},
    {25, "GPSDestDistanceRef", GPS, ALLOW_ASCII, F, 2, "K", {}},
    {26, "GPSDestDistance", GPS, ALLOW_RATIONAL, F, 1, nullptr, {1234.56}},
    {27, "GPSProcessingMethod", GPS, ALLOW_UNDEFINED, A, 1, nullptr, {}, sizeof(processing_method),
     LinkTarget::None, processing_method},
    {28, "GPSAreaInformation", GPS, ALLOW_UNDEFINED, A, 1, nullptr, {}, sizeof(area_information),
     LinkTarget::None, area_information},
    {29, "GPSDateStamp", GPS, ALLOW_ASCII, F, 11, "2024:02:29", {}},
    {30, "GPSDifferential", GPS, ALLOW_SHORT, F, 1, nullptr, {1}},
    {31, "GPSHPositioningError", GPS, ALLOW_RATIONAL, F, 1, nullptr, {2.9}},

    // EXIF 2.32's Interoperability directory: an index its rules name, and
    // their version.
    {1, "InteroperabilityIndex", INTEROP, ALLOW_ASCII, F, 4, "R98", {}},
    {2, "InteroperabilityVersion", INTEROP, ALLOW_UNDEFINED, F, 4, nullptr, {'0', '1', '0', '0'}},
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
