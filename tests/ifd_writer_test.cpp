// The structure writer read back by the structure reader: every type at the
// inline slot's edge and one element over, out of line on its boundary, at
// odd offsets and at a forced offset, in both byte orders and formats; chains, links and wrong
// headers.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ifd_reader.h"
#include "ifd_writer.h"

namespace {

struct Layout {
    bool big_endian;
    bool bigtiff;
};

constexpr Layout layouts[] = {{false, false}, {true, false}, {false, true}, {true, true}};

constexpr uint16_t all_types[] = {ifd::BYTE,     ifd::ASCII,     ifd::SHORT,     ifd::LONG,
                                  ifd::RATIONAL, ifd::SBYTE,     ifd::UNDEFINED, ifd::SSHORT,
                                  ifd::SLONG,    ifd::SRATIONAL, ifd::FLOAT,     ifd::DOUBLE,
                                  ifd::IFD,      ifd::LONG8,     ifd::SLONG8,    ifd::IFD8};

// Elements that fill `bytes` bytes of a type, each of its full width.
std::vector<uint64_t> Elements(uint16_t type, uint64_t bytes)
{
    const unsigned size = ifd::TypeSize(type);
    const unsigned width = type == ifd::RATIONAL || type == ifd::SRATIONAL ? size / 2 : size;
    std::vector<uint64_t> values;
    for (uint64_t i = 0; i < bytes / size * (size / width); i++)
        values.push_back((0x8070605040302010ULL >> (8 * (8 - width))) + i);
    return values;
}

enum class Place { Edge, Over, Odd, Forced };

std::string First(const std::vector<ifd::Error> &problems)
{
    return problems.empty() ? "" : problems[0].what;
}

TEST(IfdWriter, EveryTypeAndPlacementReadsBack)
{
    for (const Layout l : layouts) {
        for (const uint16_t type : all_types) {
            if (!l.bigtiff && ifd::TypeSize(type) == 8 && type >= ifd::LONG8)
                continue;
            for (const Place place : {Place::Edge, Place::Over, Place::Odd, Place::Forced}) {
                if (place == Place::Edge && ifd::TypeSize(type) > (l.bigtiff ? 8U : 4U))
                    continue;
                SCOPED_TRACE(testing::Message() << l.big_endian << l.bigtiff << " type " << type
                                                << " place " << static_cast<int>(place));
                ifd::Writer w(l.big_endian, l.bigtiff);
                const unsigned slot = w.Slot();
                const unsigned size = ifd::TypeSize(type);
                const uint64_t bytes = place == Place::Edge ? (slot / size) * size : slot + size;
                ifd::Field f = ifd::Numbers(65000, type, Elements(type, bytes));
                f.odd = place == Place::Odd;
                // Three bytes first, so that the IFD and its values need padding
                // to begin on their boundary.
                w.Append({0, 0, 0});
                uint64_t forced = 0;
                if (place == Place::Forced) {
                    w.Append({0});
                    forced = w.Append(w.Encode(f));
                    f.value_at = forced;
                }
                ifd::Ifd ifd;
                // Three entries: 60 bytes of them in BigTIFF, off its boundary.
                ifd.fields = {ifd::Numbers(256, ifd::SHORT, {7}),
                              ifd::Numbers(257, ifd::SHORT, {5}), f};
                const uint64_t at = w.AppendIfd(ifd);
                const ifd::File file = ifd::ReadFile(w.Bytes().data(), w.Bytes().size());
                ASSERT_TRUE(file.problems.empty()) << First(file.problems);
                ASSERT_EQ(file.chain.size(), 1U);
                EXPECT_EQ(file.chain[0].offset, at);
                EXPECT_EQ(at + w.IfdSize(ifd), w.Size());
                const ifd::Entry *e = ifd::FindEntry(file.chain[0], 65000);
                ASSERT_NE(e, nullptr);
                EXPECT_EQ(e->type, type);
                EXPECT_EQ(e->values, f.values);
                EXPECT_EQ(e->is_inline, place == Place::Edge);
                // A word boundary, or BigTIFF's 8 bytes; odd ones one past it.
                const unsigned boundary = l.bigtiff ? 8 : 2;
                EXPECT_EQ(at % boundary, 0U);
                if (place == Place::Odd || place == Place::Over) {
                    EXPECT_EQ(e->value_at % boundary, place == Place::Odd ? 1U : 0U);
                }
                if (place == Place::Forced) {
                    EXPECT_EQ(e->value_at, forced);
                }
            }
        }
    }
}

// The damage the writer is asked for is what the reader finds.
TEST(IfdWriter, ChainsLinksAndDamage)
{
    for (const Layout l : layouts) {
        SCOPED_TRACE(testing::Message() << l.big_endian << l.bigtiff);
        ifd::Writer w(l.big_endian, l.bigtiff);
        EXPECT_EQ(w.Size(), l.bigtiff ? 16U : 8U); // the header alone
        ifd::Ifd exif;
        exif.fields = {ifd::Rationals(33434, ifd::RATIONAL, {1, 250})};
        const uint64_t exif_at = w.AppendIfd(exif, false);
        ifd::Ifd page;
        page.fields = {ifd::Numbers(256, ifd::LONG, {3}),
                       ifd::Numbers(ifd::tag::ExifIFD, ifd::IFD, {exif_at})};
        const uint64_t first = w.AppendIfd(page);
        page.fields.pop_back();
        const uint64_t second = w.AppendIfd(page);
        ifd::File file = ifd::ReadFile(w.Bytes().data(), w.Bytes().size());
        ASSERT_TRUE(file.problems.empty()) << First(file.problems);
        ASSERT_EQ(file.chain.size(), 2U);
        EXPECT_EQ(file.chain[1].offset, second);
        ASSERT_EQ(file.linked.size(), 1U);
        EXPECT_EQ(file.linked[0].offset, exif_at);

        // The second IFD links back to the first: a loop.
        w.SetNext(second, first);
        file = ifd::ReadFile(w.Bytes().data(), w.Bytes().size());
        EXPECT_EQ(file.chain.size(), 2U);
        EXPECT_EQ(file.problems.size(), 1U);

        // A count the file cannot hold, and a wrong version.
        ifd::Writer bad(l.big_endian, l.bigtiff);
        ifd::Field huge = ifd::Numbers(65000, ifd::LONG, {1, 2, 3});
        huge.count = 0x80000000U;
        bad.AppendIfd(ifd::Ifd{{ifd::Numbers(256, ifd::SHORT, {1}), huge}});
        file = ifd::ReadFile(bad.Bytes().data(), bad.Bytes().size());
        EXPECT_EQ(file.problems.size(), 1U);
        // An entry count past the IFD's entries.
        ifd::Writer over(l.big_endian, l.bigtiff);
        over.AppendIfd(ifd::Ifd{{ifd::Numbers(256, ifd::SHORT, {1})}, 500});
        EXPECT_EQ(ifd::ReadFile(over.Bytes().data(), over.Bytes().size()).problems.size(), 1U);
        bad.SetVersion(44);
        file = ifd::ReadFile(bad.Bytes().data(), bad.Bytes().size());
        EXPECT_FALSE(file.has_header);
    }
}

} // namespace

// A case that stops before any byte exists is still kept, as an empty file,
// and an empty vector (no buffer at all) is never handed to fwrite.
TEST(IfdWriter, SavesAnEmptyFile)
{
    const char path[] = "ifd_writer_empty.tif";
    EXPECT_FALSE(ifd::SaveFile(path, {}));
    FILE *f = fopen(path, "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), EOF);
    fclose(f);
    remove(path);
}
