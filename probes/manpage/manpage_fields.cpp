// The field calls: TIFFGetField, TIFFSetField, TIFFUnsetField and the
// GPS sequence of TIFFCustomDirectory.
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <optional>

#include <tiffio.h>

#include "ifd_reader.h"
#include "library_messages.h"
#include "manpage_probe.h"

namespace manpage {

// --- TIFFGetField(3tiff), TIFFSetField(3tiff) ---

bool GetFieldDefined(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const char *text = nullptr;
    uint16_t orientation = 0;
    uint32_t w = 0;
    const int unset_text = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text);
    const int unset_short = TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation);
    const int set = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    bool ok = true;
    if (unset_text != 0)
        ok = Broken(layout, p, "tag %d, not set, gave %d, expected 0", TIFFTAG_IMAGEDESCRIPTION,
                    unset_text);
    if (unset_short != 0)
        ok = Broken(layout, p, "tag %d, not set, gave %d, expected 0", TIFFTAG_ORIENTATION,
                    unset_short);
    if (set != 1 || w != width)
        ok = Broken(layout, p, "tag %d gave %d and %" PRIu32 ", expected 1 and %" PRIu32,
                    TIFFTAG_IMAGEWIDTH, set, w, width);
    return ok;
}

bool VGetFieldSame(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    uint32_t plain = 0;
    uint32_t through_list = 0;
    const char *text = nullptr;
    const int a = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &plain);
    const int b = probe::VGet(tif, TIFFTAG_IMAGEWIDTH, &through_list);
    const int unset = probe::VGet(tif, TIFFTAG_IMAGEDESCRIPTION, &text);
    if (a != b || plain != through_list || unset != 0)
        return Broken(layout, p,
                      "tag %d: %d and %" PRIu32 " against %d and %" PRIu32
                      "; an unset tag gave %d, expected the same and 0",
                      TIFFTAG_IMAGEWIDTH, b, through_list, a, plain, unset);
    return true;
}

bool SetFieldSucceeds(const Layout &layout, const Promise &p)
{
    using manpage::artist;
    using manpage::description;
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        // The description is set twice, through both calls: the second,
        // shorter, stays.
        int through_list = probe::VSet(tif, TIFFTAG_IMAGEDESCRIPTION, manpage::first_description);
        const int plain = TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description);
        if (through_list == 1)
            through_list = probe::VSet(tif, TIFFTAG_ARTIST, artist);
        if (plain != 1 || through_list != 1)
            return Broken(layout, p, "TIFFSetField gave %d, TIFFVSetField %d, expected 1", plain,
                          through_list);
        if (!WriteStrips(tif, layout.filename))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const struct {
        ttag_t tag;
        const char *value;
    } fields[] = {{TIFFTAG_IMAGEDESCRIPTION, description}, {TIFFTAG_ARTIST, artist}};
    bool ok = true;
    for (const auto &f : fields) {
        const char *got = nullptr;
        if (!TIFFGetField(tif, f.tag, &got) || !got) {
            probe::SayProblemFetching(f.tag, layout.filename);
            ok = false;
        } else if (strcmp(got, f.value) != 0) {
            probe::SayWrongText(f.tag, layout.filename, got, f.value);
            ok = false;
        }
    }
    return ok;
}

bool SetFieldWhileWriting(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        if (!WriteStrip(tif, layout.filename, 0))
            return false;
        const int got = Expecting(
            [&] { return TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, manpage::refused_width); });
        if (got != 0 || Width(tif) != width)
            return Broken(layout, p,
                          "ImageWidth after a strip gave %d, width %" PRIu32
                          ", expected 0 and %" PRIu32,
                          got, Width(tif), width);
        if (!WriteStrips(tif, layout.filename))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    return tif && StripsHold(tif, layout.filename);
}

bool SetFieldBadValue(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    // Not the default, so a refusal that resets the field shows.
    if (!TIFFSetField(tif, TIFFTAG_PLANARCONFIG, manpage::kept_planar)) {
        probe::SayCantSet(TIFFTAG_PLANARCONFIG, layout.filename);
        return false;
    }
    const int got =
        Expecting([&] { return TIFFSetField(tif, TIFFTAG_PLANARCONFIG, manpage::bad_planar); });
    uint16_t planar = 0;
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (got != 0 || planar != manpage::kept_planar)
        return Broken(layout, p, "PlanarConfiguration %u gave %d and left %u, expected 0 and %u",
                      manpage::bad_planar, got, planar, manpage::kept_planar);
    return true;
}

bool UnsetField(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        if (!TIFFSetField(tif, TIFFTAG_ARTIST, "unset by manpage_probe")) {
            probe::SayCantSet(TIFFTAG_ARTIST, layout.filename);
            return false;
        }
        const int unset = TIFFUnsetField(tif, TIFFTAG_ARTIST);
        const char *text = nullptr;
        const int still = TIFFGetField(tif, TIFFTAG_ARTIST, &text);
        if (unset != 1 || still != 0)
            return Broken(layout, p,
                          "TIFFUnsetField gave %d, then TIFFGetField %d, expected 1 "
                          "and 0",
                          unset, still);
        if (!WriteStrips(tif, layout.filename))
            return false;
    }
    probe::OnDisk disk;
    if (!probe::ReadFormat(layout, &disk))
        return false;
    if (!disk.file.chain.empty() && ifd::FindEntry(disk.file.chain[0], TIFFTAG_ARTIST))
        return Broken(layout, p, "tag %d on disk after TIFFUnsetField, expected none",
                      TIFFTAG_ARTIST);
    return true;
}

// --- TIFFCustomDirectory(3tiff): the page's eight steps for a GPS IFD ---

namespace {

// The page's steps; without the dummy link of step 3 (`reserve` false) the
// main directory grows at step 8, so the library must write it again
// elsewhere and link it in place of the first, as the page warns, and the
// page then has a description that it did not have at step 4 too.
bool GpsSteps(const Layout &layout, const Promise &p, bool reserve)
{
    const uint8_t version[4] = {2, 3, 0, 0};
    const char *const grown = "grown at step 8 by manpage_probe";
    uint64_t gps_offset = 0;
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif || !WriteStrips(tif, layout.filename))
            return false;
        if (reserve && !TIFFSetField(tif, TIFFTAG_GPSIFD, uint64_t{0})) {
            probe::SayCantSet(TIFFTAG_GPSIFD, layout.filename);
            return false;
        }
        if (!WriteDirectory(tif, layout.filename, 0))
            return false;
        const tdir_t dir_num = TIFFCurrentDirectory(tif);
        const int created = TIFFCreateGPSDirectory(tif);
        if (created != 0)
            return Broken(layout, p, "TIFFCreateGPSDirectory gave %d, expected 0", created);
        if (!TIFFSetField(tif, GPSTAG_VERSIONID, version)) {
            probe::SayCantSet(GPSTAG_VERSIONID, layout.filename, "GPS IFD");
            return false;
        }
        const int written = TIFFWriteCustomDirectory(tif, &gps_offset);
        if (written != 1 || gps_offset == 0)
            return Broken(layout, p,
                          "TIFFWriteCustomDirectory gave %d, offset %" PRIu64
                          ", expected 1 and an offset",
                          written, gps_offset);
        const int back = TIFFSetDirectory(tif, dir_num);
        if (back != 1)
            return Broken(layout, p,
                          "TIFFSetDirectory(%u), the number TIFFCurrentDirectory "
                          "gave after TIFFWriteDirectory, gave %d, expected 1",
                          static_cast<unsigned>(dir_num), back);
        if (!TIFFSetField(tif, TIFFTAG_GPSIFD, gps_offset)) {
            probe::SayCantSet(TIFFTAG_GPSIFD, layout.filename);
            return false;
        }
        if (!reserve && !TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, grown)) {
            probe::SayCantSet(TIFFTAG_IMAGEDESCRIPTION, layout.filename);
            return false;
        }
        if (!WriteDirectory(tif, layout.filename, 0))
            return false;
    }
    tdir_t count = 0;
    const probe::Tiff tif = Reread(layout, &count);
    if (!tif)
        return false;
    uint64_t linked = 0;
    if (count != 1 || !TIFFGetField(tif, TIFFTAG_GPSIFD, &linked) || linked != gps_offset)
        return Broken(layout, p, "%u pages, GPS IFD at %" PRIu64 ", expected 1 page and %" PRIu64,
                      static_cast<unsigned>(count), linked, gps_offset);
    if (!reserve) {
        const char *text = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) || !text ||
            strcmp(text, grown) != 0)
            return Broken(layout, p,
                          "the description set at step 8 reads as \"%s\", expected \"%s\"",
                          text ? text : "(none)", grown);
        if (!StripsHold(tif, layout.filename))
            return false;
    }
    // Grown where it was, the page would cover the GPS IFD after it, and
    // the library's messages on what is left of it would say so again.
    const uint8_t *got = nullptr;
    int read = 0;
    int fetched = 0;
    unsigned long messages = 0;
    {
        std::optional<probe::ExpectedMessages> grown_messages;
        if (!reserve)
            grown_messages.emplace();
        read = TIFFReadGPSDirectory(tif, linked);
        fetched = read && TIFFGetField(tif, GPSTAG_VERSIONID, &got) && got &&
                  memcmp(got, version, 4) == 0;
        messages = grown_messages ? grown_messages->Count() : 0;
    }
    if (!read) {
        if (!reserve)
            return Broken(layout, p,
                          "the GPS IFD at %" PRIu64
                          " is no longer a directory, expected the one step 6 wrote",
                          linked);
        probe::SayCantDirectory("read", layout.filename, "GPS IFD");
        return false;
    }
    if (!fetched) {
        if (!reserve)
            return Broken(layout, p,
                          "the GPS IFD at %" PRIu64 " has lost its GPSVersionID, expected 2.3.0.0",
                          linked);
        probe::SayProblemFetching(GPSTAG_VERSIONID, layout.filename, "GPS IFD");
        return false;
    }
    if (messages != 0)
        return Broken(layout, p,
                      "the GPS IFD at %" PRIu64 " read with %lu library messages, expected none",
                      linked, messages);
    return true;
}

} // namespace

bool GpsSequence(const Layout &layout, const Promise &p)
{
    return GpsSteps(layout, p, true);
}

bool GpsSequenceGrown(const Layout &layout, const Promise &p)
{
    return GpsSteps(layout, p, false);
}

} // namespace manpage
