// type_probe under injected library faults: each fault fails its own layout
// with one line, the other layouts still run and pass, and only the failed
// layout's file stays.
//
// A known defect that fails every layout would hide any fault that only
// makes a layout fail, stay or name a field once too often. The shim rule
// as-held:TAG stands in for a library without the defect "IFD arrays written
// as halves of 64-bit values" (docs/known-defects.md): when the program
// closes a handle that wrote the file, TAG's values are put on disk as the
// handle held them, 32 bits each as an IFD entry's are; the probe itself
// still checks everything. With it on 65111 to 65113 every layout passes, so
// FaultsFailALayoutThatOtherwisePasses asserts exactly (not against the clean
// run) that a clean run leaves nothing and each fault fails only its layout.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ifd_reader.h"
#include "probe_run.h"

namespace {

const char probe[] = "type_probe";

TEST(TypeProbe, CleanRunShowsOnlyKnownDefectsAndRemovesTheOtherFiles)
{
    ExpectClean(ProbeRun(probe), {});
}

TEST(TypeProbe, EachFaultFailsOnlyItsLayout)
{
    const struct {
        const char *faults;
        std::vector<std::string> lines;
        std::set<std::string> files;
    } cases[] = {
        {"open:wb", {"Can't create test TIFF file types_be.tif."}, {}},
        {"set:65032@types_be.tif", {"Can't set tag 65032 in types_be.tif."}, {"types_be.tif"}},
        {"set:65140@types_le.btf", {"Can't set tag 65140 in types_le.btf."}, {"types_le.btf"}},
        {"set:297@types_be.btf", {"Can't set tag 297 in types_be.btf."}, {"types_be.btf"}},
        {"get:65073@types_le.btf",
         {"Problem fetching tag 65073 in types_le.btf."},
         {"types_le.btf"}},
        // Success without an array is a failed fetch, not a crash.
        {"get-nothing:65013@types_le.tif",
         {"Problem fetching tag 65013 in types_le.tif."},
         {"types_le.tif"}},
        {"get-nothing:65151@types_be.btf",
         {"Problem fetching tag 65151 in types_be.btf."},
         {"types_be.btf"}},
        {"get-u16:65030@types_be.tif=0x0201",
         {"Wrong SHORT value fetched for tag 65030 in types_be.tif: value 0 is 0x201, expected "
          "0x102."},
         {"types_be.tif"}},
        {"get-u32:65070@types_le.tif=0x3f000001",
         {"Wrong RATIONAL value fetched for tag 65070 in types_le.tif: value 0 is 0x3f000001, "
          "expected 0x3f000000."},
         {"types_le.tif"}},
        {"get-u32:65123@types_be.btf=4",
         {"Wrong LONG8 value fetched for tag 65123 in types_be.btf: 4 values, expected 5."},
         {"types_be.btf"}},
        {"get-u32:256@types_le.tif=4464",
         {"Wrong LONG value fetched for tag 256 in types_le.tif: value 0 is 0x1170, expected "
          "0x11170."},
         {"types_le.tif"}},
        {"get-u16:297.1@types_le.btf=4",
         {"Wrong SHORT value fetched for tag 297 in types_le.btf: value 1 is 0x4, expected 0x5."},
         {"types_le.btf"}},
        // Only the first of the two wrong: nothing more counted.
        {"get-u16:297.0@types_le.btf=4",
         {"Wrong SHORT value fetched for tag 297 in types_le.btf: value 0 is 0x4, expected 0x2."},
         {"types_le.btf"}},
        {"get-chop:270@types_le.tif",
         {"Wrong ASCII value fetched for tag 270 in types_le.tif: \"type_probe: every field typ\", "
          "expected \"type_probe: every field type\"."},
         {"types_le.tif"}},
        {"open:r@types_le.btf", {"Can't open test TIFF file types_le.btf."}, {"types_le.btf"}},
        {"open:r+@types_be.tif", {"Can't open test TIFF file types_be.tif."}, {"types_be.tif"}},
        {"write-strip:1@types_le.tif=-1",
         {"Can't write image data in types_le.tif."},
         {"types_le.tif"}},
        {"write-strip:1@types_be.btf:r+=0",
         {"Can't write image data in types_be.btf."},
         {"types_be.btf"}},
        // Image data read back wrong: the last byte of a row; the updated
        // strip wrong before the update only (3 is the first byte of its new
        // row), and after it only (32 is the first byte of its old row).
        {"read-byte:0.8749@types_le.tif=0",
         {"Wrong image data in strip 0 of types_le.tif."},
         {"types_le.tif"}},
        {"read-byte:1.0@types_be.btf=3",
         {"Wrong image data in strip 1 of types_be.btf."},
         {"types_be.btf"}},
        {"read-byte:1.0@types_le.tif=32",
         {"Wrong image data in strip 1 of types_le.tif."},
         {"types_le.tif"}},
        {"read-short:2@types_be.tif",
         {"Can't read image data in strip 2 of types_be.tif."},
         {"types_be.tif"}},
        {"read-long:1@types_le.btf",
         {"Can't read image data in strip 1 of types_le.btf."},
         {"types_le.btf"}},
        {"write-strip:1@types_le.tif:w=0",
         {"Can't write image data in types_le.tif."},
         {"types_le.tif"}},
        // Values that the library wrote wrong and reads back as wrong, and
        // values fetched wrong that no other check sees.
        {"poke:65003.5@types_le.tif:w=0x41",
         {"Wrong BYTE value fetched for tag 65003 in types_le.tif: value 5 is 0x41, expected "
          "0xfe.",
          "types_le.tif: tag 65003 on disk: value 5 is 0x41, expected 0xfe."},
         {"types_le.tif"}},
        {"get-float:282@types_le.tif=2",
         {"Wrong RATIONAL value fetched for tag 282 in types_le.tif: value 0 is 0x40000000, "
          "expected 0x43964000."},
         {"types_le.tif"}},
        {"get-chop:65151@types_le.tif",
         {"Wrong ASCII value fetched for tag 65151 in types_le.tif: \"A string too long to be "
          "stored in the entry itself\", expected \"A string too long to be stored in the entry "
          "itself.\"."},
         {"types_le.tif"}},
        // On disk only: a type code in either byte order, a standard field,
        // an ASCII byte, a tag renamed.
        {"poke-entry:65000.2@types_le.tif:w=7",
         {"types_le.tif: tag 65000 on disk: UNDEFINED[1], expected BYTE[1]."},
         {"types_le.tif"}},
        {"poke-entry:65000.3@types_be.tif:w=7",
         {"types_be.tif: tag 65000 on disk: UNDEFINED[1], expected BYTE[1]."},
         {"types_be.tif"}},
        {"poke:297.3@types_be.tif:r=9",
         {"types_be.tif: tag 297 on disk: value 1 is 0x9, expected 0x5."},
         {"types_be.tif"}},
        {"poke:65151.3@types_le.tif:r=0x41",
         {"types_le.tif: tag 65151 on disk: byte 3 is 0x41, expected 0x74."},
         {"types_le.tif"}},
        {"poke-entry:65110.0@types_le.tif:r=0x55",
         {"types_le.tif: tag 65110 on disk: missing."},
         {"types_le.tif"}},
        // A library message fails a layout that otherwise passed.
        {"warn:65150@types_be.tif",
         {"types_be.tif: the library reported a problem."},
         {"types_be.tif"}},
        // Wrong bytes on disk that the library reads back as it wrote them,
        // and a byte order asked for but not written: only the independent
        // reading sees them.
        {"poke:65103.0@types_be.tif:r=0x41",
         {"types_be.tif: tag 65103 on disk: value 0 is 0x4105bf0a8b145769, expected "
          "0x4005bf0a8b145769."},
         {"types_be.tif"}},
        {"poke:65073.7@types_le.btf:r=0x40",
         {"types_le.btf: tag 65073 on disk: value 0 is 9.31322573e-10, expected 0.5."},
         {"types_le.btf"}},
        {"swap-order:w8b",
         {"types_be.btf: header: II version 43, expected MM version 43."},
         {"types_be.btf"}},
        // Two faults, two layouts, two lines in layout order.
        {"set:65000@types_le.tif;open:r@types_be.btf",
         {"Can't set tag 65000 in types_le.tif.", "Can't open test TIFF file types_be.btf."},
         {"types_le.tif", "types_be.btf"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, c.files);
    }
}

// With IFD arrays written as the library holds them, the one known defect of
// Debian's releases gone, every layout passes: each fault below must fail its
// own layout, leave its file and exit 1 where the defect would have failed
// the layout anyway, and name each wrong field once.
TEST(TypeProbe, FaultsFailALayoutThatOtherwisePasses)
{
    const std::string fixed = "as-held:65111;as-held:65112;as-held:65113";
    const struct {
        const char *faults;
        std::vector<std::string> lines;
        std::set<std::string> files;
    } cases[] = {
        {"", {}, {}},
        // Wrong when read for the update only, after it only, and in both.
        {"get-u16:65030@types_be.tif:r+=0x0201",
         {"Wrong SHORT value fetched for tag 65030 in types_be.tif: value 0 is 0x201, expected "
          "0x102."},
         {"types_be.tif"}},
        {"get-u16:65040@types_be.tif:r=0",
         {"Wrong SSHORT value fetched for tag 65040 in types_be.tif: value 0 is 0x0, expected "
          "0x8000."},
         {"types_be.tif"}},
        {"get-u32:65050@types_le.tif=7",
         {"Wrong LONG value fetched for tag 65050 in types_le.tif: value 0 is 0x7, expected "
          "0x1020304."},
         {"types_le.tif"}},
        // Every wrong field of a layout named, the standard ones each alone.
        {"get-u32:256@types_le.btf=4464;get-u16:297.1@types_le.btf=4;get-u16:65030@types_le.btf=1",
         {"Wrong LONG value fetched for tag 256 in types_le.btf: value 0 is 0x1170, expected "
          "0x11170.",
          "Wrong SHORT value fetched for tag 297 in types_le.btf: value 1 is 0x4, expected 0x5.",
          "Wrong SHORT value fetched for tag 65030 in types_le.btf: value 0 is 0x1, expected "
          "0x102."},
         {"types_le.btf"}},
        // One standard field wrong or not fetched fails its layout alone.
        {"get-u32:256@types_le.tif:r+=4464;get-u16:297.1@types_be.tif:r+=4;"
         "get:256@types_le.btf:r+;get:297@types_be.btf:r+",
         {"Wrong LONG value fetched for tag 256 in types_le.tif: value 0 is 0x1170, expected "
          "0x11170.",
          "Wrong SHORT value fetched for tag 297 in types_be.tif: value 1 is 0x4, expected 0x5.",
          "Problem fetching tag 256 in types_le.btf.", "Problem fetching tag 297 in types_be.btf."},
         {"types_le.tif", "types_be.tif", "types_le.btf", "types_be.btf"}},
        {"get:282@types_be.btf:r+",
         {"Problem fetching tag 282 in types_be.btf."},
         {"types_be.btf"}},
        {"get-float:282@types_le.tif:r=2",
         {"Wrong RATIONAL value fetched for tag 282 in types_le.tif: value 0 is 0x40000000, "
          "expected 0x43964000."},
         {"types_le.tif"}},
        // On disk only, each entry that differs on a line of its own.
        {"poke:65003.5@types_be.tif:r=0x41;poke:65100.0@types_be.tif:r=0x41;"
         "poke:65103.0@types_be.tif:r=0x41;poke:65151.3@types_be.tif:r=0x41;"
         "poke:297.3@types_be.tif:r=9;poke:270.0@types_be.tif:r=0x41",
         {"types_be.tif: tag 65003 on disk: value 5 is 0x41, expected 0xfe.",
          // Two of the lines are too long for one literal.
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
          "types_be.tif: tag 65100 on disk: value 0 is 0x4105bf0a8b145769, expected "
          "0x4005bf0a8b145769.",
          "types_be.tif: tag 65103 on disk: value 0 is 0x4105bf0a8b145769, expected "
          "0x4005bf0a8b145769.",
          "types_be.tif: tag 65151 on disk: byte 3 is 0x41, expected 0x74.",
          "types_be.tif: tag 297 on disk: value 1 is 0x9, expected 0x5.",
          "types_be.tif: tag 270 on disk: byte 0 is 0x41, expected 0x74."},
         {"types_be.tif"}},
        // The directory's own faults, and the entries after them.
        {"poke-entry:65110.1@types_le.tif:r=0xff",
         {"types_le.tif: IFD at 830: tag 65111 follows tag 65366.",
          "types_le.tif: tag 65110 on disk: missing."},
         {"types_le.tif"}},
        {"poke-entry:65151.8@types_le.tif:r=0x2f",
         {"types_le.tif: tag 65151 on disk: values at odd offset 2095.",
          "types_le.tif: tag 65151 on disk: byte 0 is 0x00, expected 0x41.",
          "types_le.tif: tag 65151 on disk: 49 more bytes differ, the last at byte 51."},
         {"types_le.tif"}},
        {"poke:279.5@types_le.btf:r=0x7f",
         {"types_le.btf: tag 273 on disk: strip 2 lies outside the file."},
         {"types_le.btf"}},
        {"append-copy:0@types_le.tif:r",
         {"types_le.tif: IFD at 830: 2 IFDs in the file, expected 1."},
         {"types_le.tif"}},
        // An array's first value, as the library read it back and on disk.
        {"poke:65031.0@types_le.tif:w=0x41",
         {"Wrong SHORT value fetched for tag 65031 in types_le.tif: value 0 is 0x141, expected "
          "0x102.",
          "types_le.tif: tag 65031 on disk: value 0 is 0x141, expected 0x102."},
         {"types_le.tif"}},
        // Two values of one entry wrong: the first named, the other counted,
        // read back and on disk, so a known defect in one hides no other.
        {"poke:65033.0@types_le.tif:w=0x41;poke:65033.4@types_le.tif:w=0x41",
         {"Wrong SHORT value fetched for tag 65033 in types_le.tif: value 0 is 0x141, expected "
          "0x102.",
          "Wrong SHORT value fetched for tag 65033 in types_le.tif: 1 more values differ, the "
          "last at value 2.",
          "types_le.tif: tag 65033 on disk: value 0 is 0x141, expected 0x102.",
          "types_le.tif: tag 65033 on disk: 1 more values differ, the last at value 2."},
         {"types_le.tif"}},
        {"poke:297.1@types_le.btf:w=9;poke:297.3@types_le.btf:w=9",
         {"Wrong SHORT value fetched for tag 297 in types_le.btf: value 0 is 0x902, expected 0x2.",
          "Wrong SHORT value fetched for tag 297 in types_le.btf: 1 more values differ, the last "
          "at value 1.",
          "types_le.btf: tag 297 on disk: value 0 is 0x902, expected 0x2.",
          "types_le.btf: tag 297 on disk: 1 more values differ, the last at value 1."},
         {"types_le.btf"}},
        {"poke:65073.0@types_le.tif:r=0x41;poke:65073.8@types_le.tif:r=0x41;"
         "poke:65151.3@types_le.tif:r=0x41;poke:65151.7@types_le.tif:r=0x41",
         {"types_le.tif: tag 65073 on disk: value 0 is 32.5, expected 0.5.",
          "types_le.tif: tag 65073 on disk: 1 more values differ, the last at value 1.",
          "types_le.tif: tag 65151 on disk: byte 3 is 0x41, expected 0x74.",
          "types_le.tif: tag 65151 on disk: 1 more bytes differ, the last at byte 7."},
         {"types_le.tif"}},
        {"warn:65150@types_le.btf",
         {"types_le.btf: the library reported a problem."},
         {"types_le.btf"}},
        {"read-byte:0.8749@types_le.tif:r+=0",
         {"Wrong image data in strip 0 of types_le.tif."},
         {"types_le.tif"}},
        {"read-byte:2.0@types_be.btf:r=0",
         {"Wrong image data in strip 2 of types_be.btf."},
         {"types_be.btf"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        const std::string faults = *c.faults ? fixed + ";" + c.faults : fixed;
        ExpectExactly(ProbeRun(probe, Faults(faults)), c.lines.empty() ? 0 : 1, c.lines, c.files);
    }
}

// What the table of values asks for, read from the kept files: the arrays
// at and one over the inline limit, and each layout's compression.
TEST(TypeProbe, KeptFilesHaveEachLayoutsShape)
{
    const struct {
        const char *file;
        uint16_t tag;
        uint16_t type;
        uint64_t count;
    } cases[] = {
        {"types_le.tif", 65001, ifd::BYTE, 4},   {"types_le.tif", 65002, ifd::BYTE, 5},
        {"types_le.tif", 65102, ifd::DOUBLE, 1}, {"types_le.btf", 65001, ifd::BYTE, 8},
        {"types_le.btf", 65002, ifd::BYTE, 9},   {"types_le.btf", 65101, ifd::DOUBLE, 1},
        {"types_le.btf", 65102, ifd::DOUBLE, 2}, {"types_be.tif", 65031, ifd::SHORT, 2},
        {"types_be.tif", 65032, ifd::SHORT, 3},  {"types_be.btf", 65051, ifd::LONG, 2},
        {"types_be.btf", 65052, ifd::LONG, 3},   {"types_be.btf", 65121, ifd::LONG8, 1},
    };
    const struct {
        const char *file;
        uint64_t compression;
    } compressions[] = {
        {"types_le.tif", 32773}, {"types_be.tif", 1}, {"types_le.btf", 1}, {"types_be.btf", 32773}};

    ProbeRun run(probe, Faults("keep"));
    ASSERT_EQ(run.status(), CleanRun(probe).status) << run.describe();
    auto entry = [&](const char *file, uint16_t tag) {
        std::vector<uint8_t> bytes;
        ifd::Entry found;
        EXPECT_FALSE(ifd::LoadFile(run.path(file).c_str(), &bytes)) << file;
        const ifd::File f = ifd::ReadFile(bytes.data(), bytes.size());
        EXPECT_TRUE(f.problems.empty() && !f.chain.empty()) << file;
        const ifd::Entry *e = f.chain.empty() ? nullptr : ifd::FindEntry(f.chain[0], tag);
        if (e)
            found = *e;
        return found;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file) + " tag " + std::to_string(c.tag));
        const ifd::Entry e = entry(c.file, c.tag);
        EXPECT_EQ(e.type, c.type);
        EXPECT_EQ(e.count, c.count);
    }
    for (const auto &c : compressions) {
        SCOPED_TRACE(c.file);
        const ifd::Entry e = entry(c.file, 259);
        ASSERT_EQ(e.values.size(), 1U);
        EXPECT_EQ(e.values[0], c.compression);
        // Packed, the updated strip is larger than the one it replaced, so
        // the library had to move it rather than write it in place.
        const ifd::Entry counts = entry(c.file, 279);
        ASSERT_EQ(counts.values.size(), 3U);
        if (c.compression == 32773) {
            EXPECT_GT(counts.values[1], counts.values[0]);
        }
    }
}

} // namespace
