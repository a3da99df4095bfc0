// The pieces of print_probe, by concern: the file it writes
// (print_write.cpp), what each directory must print (print_fields.cpp) and
// the check of the printed text (print_check.cpp); print_probe.cpp runs them.
#ifndef TIFF_PROBES_PRINT_PROBE_H
#define TIFF_PROBES_PRINT_PROBE_H

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "probe_support.h"

namespace print_probe {

constexpr unsigned fields_page = 0;
constexpr unsigned palette_page = 1;
constexpr unsigned curves_page = 2;
constexpr unsigned jpeg_page = 3;

// The codecs of the fields page and the palette page: none where the
// library lacks them (probe::CodecOrNone, in main), and then no Predictor.
extern uint16_t fields_codec;
extern uint16_t palette_codec;

bool JpegConfigured();

// Writes the four pages (three without JPEG) and the EXIF and GPS
// directories; says what failed.
bool WriteFile(const probe::Layout &layout);

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
    std::vector<std::string> texts;  // Names; Enum: the standard's words for the value
    std::vector<uint8_t> bytes;      // Bytes, Jpeg
    long flag = 0;                   // Table, Jpeg: the flag that prints the values
    unsigned width = 0;              // Table: values an entry
    std::vector<std::string> unlike; // Enum: words that name another value
};

// The fields of each page and directory, as they must be printed.
std::vector<Field> FieldsPage(const ifd::Directory &dir);
std::vector<Field> PalettePage();
std::vector<Field> CurvesPage();
std::vector<Field> JpegPage(const ifd::Directory &dir);
std::vector<Field> ExifIfd();
std::vector<Field> GpsIfd();

// The current directory printed with each set of flags (with
// TIFFPRINT_NONE alone, unless `every_flag`), against `fields`; `chunks`
// the directory on disk whose strips or tiles must be printed.
bool CheckDirectory(TIFF *tif, const std::vector<Field> &fields, uint64_t offset,
                    const ifd::Directory *chunks, const char *filename, const std::string &place,
                    bool every_flag = true);

// The generated cases, built in memory (print_cases.cpp): every value of
// each enumerated field, the fields no page sets, private fields of every
// type and texts a printer escapes; says what failed.
bool CheckCases();

} // namespace print_probe

#endif
