// The read matrix's rules: what a reader must make of every field of the
// standards' table (field_table, the one field_probe writes from), in every
// encoding a writer may use. Each row of that table becomes a reader's row
// here (its stored types with TIFF 6.0's reader rule, its count rule, its
// range), and each row derives its cases one dimension at a time from the
// field's standard encoding: stored type, count, placement, value. Each
// case's outcome comes from one rule, named in docs/probes.md with the
// standard that gives it. Nothing here touches the TIFF library.
#ifndef TIFF_PROBES_MATRIX_RULES_H
#define TIFF_PROBES_MATRIX_RULES_H

#include <cstdint>
#include <string>
#include <vector>

#include "field_table.h"
#include "ifd_writer.h"

namespace matrix {

// What a case may give back.
enum class Outcome {
    Exact,     // present with the values the bytes mean; no library message
    Refused,   // absent (TIFFGetField returns 0); messages allowed
    Tolerated, // absent or exact, decided per rule; messages allowed
};

// The IFD a row's field is read from: the main one, the EXIF or GPS IFD it
// links, or the main one for a private tag the program registers with the
// row's type, as TIFFMergeFieldInfo(3tiff) allows: private_base + type with
// its count passed as 32 bits, + 100 as 16 bits, + 200 for 3 values, + 300
// for one.
enum class Home { Main, Exif, Gps, Private };
constexpr uint16_t private_base = 65100;
// The bases of the other forms: TIFF_VARIABLE with a 16-bit count, three
// values, one value.
constexpr uint16_t private_variable = private_base + 100;
constexpr uint16_t private_three = private_base + 200;
constexpr uint16_t private_one = private_base + 300;

// The reader's view of one field.
struct Row {
    uint16_t tag;
    const char *name;
    uint16_t type;           // of the standard encoding
    uint32_t types;          // stored types a reader must take (field:: bits)
    field::Count rule;       // of the table
    bool fixed;              // the count is the standard's, no other
    bool image;              // describes the image: varied by stored type only
    ifd::Field standard;     // the standard encoding, values as the file holds them
    uint64_t lo = 0, hi = 0; // the field's range, hi 0 for the type's own
    bool ranged = false;
    Home home = Home::Main;
    // Private tags: the read count the extender registers (TIFF_VARIABLE2,
    // TIFF_VARIABLE, or a fixed number), whether the count is passed.
    int read_count = 0;
    bool pass_count = false;
};

// The reader's rows: every field of field_table's main page, EXIF and GPS
// IFDs whose value the matrix's image can carry, and a private tag of each
// type.
std::vector<Row> Rows();

// Where a case puts the field's values.
enum class Place {
    Writer,   // where the writer puts them: inline, or after the IFD on its boundary
    Odd,      // out of line, at an odd offset
    PastEnd,  // out of line, past the end of the file
    Straddle, // out of line, the first half inside the file, the rest past its end
    OverIfd,  // out of line, at the offset of the IFD itself
};

struct Variant {
    std::string klass; // "stored as BYTE", for the line
    std::string slug;  // "byte", for the file name
    ifd::Field field;  // as written: the type, the values, the count
    ifd::Field expect; // what a read that succeeds gives: the field's, or less
    Place place = Place::Writer;
    Outcome outcome = Outcome::Exact;
    const char *rule = ""; // the rule's name, as docs/probes.md lists it
};

// The cases of a row in one format, the standard encoding first.
std::vector<Variant> Derive(const Row &row, bool bigtiff);

// Whether `value` (signed ones as their bits, sign-extended to 64) is held
// by `type`.
bool Fits(uint16_t type, int64_t value);

} // namespace matrix

#endif
