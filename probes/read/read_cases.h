// read_probe's catalogue: files the library did not write, each built byte
// by byte with ifd_writer, and what the library must give back from each.
// What a file holds is decided from the standards (TIFF 6.0, BigTIFF, EXIF),
// and each row of the table says its decision, never from the library.
#ifndef TIFF_PROBES_READ_CASES_H
#define TIFF_PROBES_READ_CASES_H

#include <cstdint>
#include <string>
#include <vector>

#include "ifd_writer.h"

namespace read_cases {

enum class Kind { Legal, Tolerated, Malformed };

// How the library may treat a field of the file.
enum class Rule {
    Exact,         // present, with the values the file holds
    ExactOrAbsent, // those values, or absent (TIFFGetField returns 0)
    Absent,        // TIFFGetField returns 0
    OneOf,         // the values of one of the wants of this tag (a tag twice), or absent
    AtLeast,       // absent, or one value not below the want's
};

struct Want {
    ifd::Field field; // the tag and the values the file means, of their type
    Rule rule;
};

// A strip or tile the library must read, or must refuse.
struct Chunk {
    std::vector<uint8_t> bytes;   // as TIFFReadEncoded* gives them, in the host's order
    const char *refuse = nullptr; // why no read may succeed: "it has no offset in the file"
    bool may_fail = false;        // unreadable is as good as these bytes
};

struct Directory {
    std::vector<Want> wants;
    bool tiled = false;
    std::vector<Chunk> chunks; // none: the directory has no image (EXIF, GPS)
    uint64_t exif = 0;         // offset of the EXIF IFD, 0 for none
    uint64_t gps = 0;
    std::vector<Directory> exif_dirs; // the EXIF or GPS IFD, with its wants
    std::vector<Directory> gps_dirs;
    std::vector<uint64_t> subifd_offsets;
    std::vector<Directory> subifds;
};

enum class Open {
    Must,      // TIFFOpen succeeds
    MayRefuse, // it may refuse; opened, the rest holds
    Refuse     // it must refuse: there is no TIFF file there
};

struct Built {
    ifd::Writer w;
    std::vector<Directory> pages;
    // The pages of the chain, which TIFFNumberOfDirectories counts,
    // TIFFSetDirectory reaches and TIFFReadDirectory walks alike.
    unsigned chain = 0;
    // The chain ends in an IFD of no entries, which TIFF 6.0 does not allow:
    // the count may include it, but going to it must fail with a message.
    bool empty_last = false;
    Open open = Open::Must;
    Built(bool big_endian, bool bigtiff) : w(big_endian, bigtiff) {}
};

// Builds a case's file for one layout. `tag` and `type` are the row's
// parameters, for builders that serve many rows.
using Build = void (*)(Built *b, uint16_t tag, uint16_t type);

struct Case {
    const char *name; // the file's stem: read_NAME_le.tif and so on
    Kind kind;
    Build build;
    uint16_t tag;
    uint16_t type;
    bool bigtiff_only;    // the encoding exists in BigTIFF only
    bool classic_only;    // the damage is to classic's header
    bool messages;        // the library may warn or report errors
    bool register_tags;   // the private tags are registered by a tag extender first
    const char *decision; // why the expectations are what they are
};

extern const Case cases[];
extern const size_t case_count;

// The four layouts, in the order read_probe runs them.
struct Format {
    const char *suffix; // of the file: read_NAME_le.tif and so on
    bool big_endian;
    bool bigtiff;
};
extern const Format formats[4];

// Whether a case's encoding exists in a layout.
bool RunsIn(const Case &c, const Format &f);

// The private tags of the catalogue, one per type (65000 + type), for the
// tag extender.
constexpr uint16_t private_base = 65000;

} // namespace read_cases

#endif
