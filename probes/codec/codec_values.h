// codec_probe's pages and values, shared with the test that holds them to
// the value rule (docs/contributing.md, "A field row"): one home for the table.
#ifndef TIFF_PROBES_CODEC_VALUES_H
#define TIFF_PROBES_CODEC_VALUES_H

#include <cstdint>
#include <initializer_list>

#include <tiffio.h>

namespace codecs {

// A pseudo-field and the value a page sets: not the codec's default, nor 0
// or 1 where its range has another, so a setting that is lost shows.
// `fetch` is false where the codec keeps no getter for it (the library
// refuses TIFFGetField: SGILOGENCODE, PERSAMPLE), so only its effect can be
// checked. `newer` marks a setting that later releases add: set where the
// codec has it, skipped where not.
struct Setting {
    uint32_t tag;
    double value;
    bool fetch = true;
    bool newer = false;
};

// Not in every release's tiff.h: WebP's lossless exact mode, set-only, 1
// by default; 0 may change colours only where alpha is 0, and these pages
// have no alpha.
inline constexpr uint32_t webp_lossless_exact = 65571;

// What a page's image shows of its settings.
enum class Effect : uint8_t {
    None,
    Smaller,   // fewer bytes than the page before, the same image within JPEG's error
    OtherSize, // another size than the page before, the same pixels
    Rgb,       // JPEGCOLORMODE RGB reads it as RGB
    PerSample, // one SMin/SMaxSampleValue per sample on disk
};

// NOLINTNEXTLINE(clang-analyzer-optin.performance.Padding): a row reads best name first
struct Page {
    const char *name;  // in every line about the page; a value it quotes is its setting's
    const char *codec; // in the skip line
    uint16_t compression;
    uint16_t photometric;
    uint16_t bits;
    uint16_t samples;
    uint16_t format; // SampleFormat
    std::initializer_list<Setting> settings;
    Effect effect = Effect::None;
    // How far a decoded byte may be off; -1: not compared byte by byte (lossy
    // by the codec's own measure, or compared as numbers: log2_error).
    int error = 0;
    // For a page of floats compared as numbers: how far the log2 of a
    // decoded value may be from the written one's; 0: not compared so.
    double log2_error = 0;
};

inline constexpr uint32_t width = 128;
inline constexpr uint32_t length = 32;
// JPEG's error on smooth ramps at these qualities, in levels.
inline constexpr int jpeg_error = 8;

// LERC's maximum error: a fraction a double holds and a float does not, so
// a value kept as a float shows.
inline constexpr double lerc_max_error = 0.375 + 0x1p-30;

// LogL's precision (the LogLuv encoding, LogL16): a code Le stands for the
// step of log2 Y from Le/256 - 64 to (Le+1)/256 - 64 and decodes to its
// middle. Truncated to the step that holds it, Y decodes within half a step;
// dithered (SGILOGENCODE_RANDITHER, as the page sets), it takes one of the
// two middles on either side of it, so that it is kept on average, each
// within one step. One step, a ratio of 2^(1/256) (0.27%), bounds both.
inline constexpr double logl_error = 1.0 / 256;

// Pages compared with the one before them come right after it.
// clang-format off
inline const Page pages[] = {
    {"JPEG quality 90", "JPEG", COMPRESSION_JPEG, PHOTOMETRIC_YCBCR, 8, 3, SAMPLEFORMAT_UINT,
     {{TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB}, {TIFFTAG_JPEGQUALITY, 90}},
     Effect::Rgb, jpeg_error},
    {"JPEG quality 37", "JPEG", COMPRESSION_JPEG, PHOTOMETRIC_YCBCR, 8, 3, SAMPLEFORMAT_UINT,
     {{TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB}, {TIFFTAG_JPEGQUALITY, 37}},
     Effect::Smaller, jpeg_error},
    // JPEGTABLESMODE 2: the Huffman tables alone go to JPEGTables; a mode
    // kept as a truth value would read 1.
    {"JPEG tables", "JPEG", COMPRESSION_JPEG, PHOTOMETRIC_YCBCR, 8, 3, SAMPLEFORMAT_UINT,
     {{TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB}, {TIFFTAG_JPEGTABLESMODE, JPEGTABLESMODE_HUFF}},
     Effect::Rgb, jpeg_error},
    // DEFLATE_SUBCODEC 0 is zlib, where the default is libdeflate: both
    // pages use it, so that the level alone tells them apart.
    {"Deflate level 2", "Deflate", COMPRESSION_ADOBE_DEFLATE, PHOTOMETRIC_MINISBLACK, 8, 1,
     SAMPLEFORMAT_UINT, {{TIFFTAG_DEFLATE_SUBCODEC, DEFLATE_SUBCODEC_ZLIB}, {TIFFTAG_ZIPQUALITY, 2}}},
    {"Deflate level 9", "Deflate", COMPRESSION_ADOBE_DEFLATE, PHOTOMETRIC_MINISBLACK, 8, 1,
     SAMPLEFORMAT_UINT, {{TIFFTAG_DEFLATE_SUBCODEC, DEFLATE_SUBCODEC_ZLIB}, {TIFFTAG_ZIPQUALITY, 9}},
     Effect::OtherSize},
    {"LZMA preset 2", "LZMA", COMPRESSION_LZMA, PHOTOMETRIC_MINISBLACK, 8, 1, SAMPLEFORMAT_UINT,
     {{TIFFTAG_LZMAPRESET, 2}}},
    {"LZMA preset 9", "LZMA", COMPRESSION_LZMA, PHOTOMETRIC_MINISBLACK, 8, 1, SAMPLEFORMAT_UINT,
     {{TIFFTAG_LZMAPRESET, 9}}, Effect::OtherSize},
    {"ZSTD level 7", "ZSTD", COMPRESSION_ZSTD, PHOTOMETRIC_MINISBLACK, 8, 1, SAMPLEFORMAT_UINT,
     {{TIFFTAG_ZSTD_LEVEL, 7}}},
    {"WebP level 37", "WebP", COMPRESSION_WEBP, PHOTOMETRIC_RGB, 8, 3, SAMPLEFORMAT_UINT,
     {{TIFFTAG_WEBP_LEVEL, 37}}, Effect::None, -1},
    {"WebP lossless", "WebP", COMPRESSION_WEBP, PHOTOMETRIC_RGB, 8, 3, SAMPLEFORMAT_UINT,
     {{TIFFTAG_WEBP_LOSSLESS, 1}, {webp_lossless_exact, 0, false, true}}},
    // LERC_VERSION 4 (2.4) is the only version the codec writes.
    {"LERC", "LERC", COMPRESSION_LERC, PHOTOMETRIC_MINISBLACK, 32, 1, SAMPLEFORMAT_IEEEFP,
     {{TIFFTAG_LERC_VERSION, LERC_VERSION_2_4},
      {TIFFTAG_LERC_ADD_COMPRESSION, LERC_ADD_COMPRESSION_ZSTD},
      {TIFFTAG_LERC_MAXZERROR, lerc_max_error}, {TIFFTAG_ZSTD_LEVEL, 5}, {TIFFTAG_ZIPQUALITY, 3}},
     Effect::None, -1},
    {"PixarLog", "PixarLog", COMPRESSION_PIXARLOG, PHOTOMETRIC_MINISBLACK, 16, 1,
     SAMPLEFORMAT_UINT,
     {{TIFFTAG_PIXARLOGDATAFMT, PIXARLOGDATAFMT_16BIT}, {TIFFTAG_PIXARLOGQUALITY, 3}},
     Effect::None, -1},
    // LogL takes float or 16-bit data only (raw is LogLuv's): either is 0 or 1.
    // Its floats come back within LogL's precision.
    {"SGILog", "SGILog", COMPRESSION_SGILOG, PHOTOMETRIC_LOGL, 32, 1, SAMPLEFORMAT_IEEEFP,
     {{TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT}, {TIFFTAG_SGILOGENCODE, 1, false}},
     Effect::None, -1, logl_error},
    // RAW: LogLuv's packed 32-bit words, passed through as they are both
    // ways, so every byte comes back; words of the host's order in either
    // file's.
    {"SGILog raw", "SGILog", COMPRESSION_SGILOG, PHOTOMETRIC_LOGLUV, 32, 1, SAMPLEFORMAT_UINT,
     {{TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_RAW}}},
    {"Group 3 fax", "CCITT", COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, 1, 1,
     SAMPLEFORMAT_UINT, {{TIFFTAG_FAXMODE, FAXMODE_BYTEALIGN}}},
    {"per sample", "none", COMPRESSION_NONE, PHOTOMETRIC_RGB, 32, 3, SAMPLEFORMAT_IEEEFP,
     {{TIFFTAG_PERSAMPLE, PERSAMPLE_MULTI, false}}, Effect::PerSample},
};
// clang-format on

// The per-sample extremes of the last page: fractions a FLOAT holds, no two
// alike, so a value rounded, or one sample's given for all, shows.
inline constexpr double smin[3] = {1.5, 2.25, 3.125};
inline constexpr double smax[3] = {250.5, 251.25, 252.125};

} // namespace codecs

#endif
