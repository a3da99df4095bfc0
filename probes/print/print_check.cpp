// print_probe's check: the text TIFFPrintDirectory prints, parsed, against
// the fields a directory holds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "print_parse.h"
#include "print_probe.h"
#include "probe_support.h"

namespace print_probe {
namespace {

using prints::HasWords;
using prints::Item;
using prints::Normal;
using prints::Numbers;
using prints::Parse;
using prints::Printed;
using prints::Trim;

struct Flags {
    long value;
    const char *name;
};

constexpr Flags all_flags[] = {
    {TIFFPRINT_NONE, "TIFFPRINT_NONE"},
    {TIFFPRINT_STRIPS, "TIFFPRINT_STRIPS"},
    {TIFFPRINT_CURVES, "TIFFPRINT_CURVES"},
    {TIFFPRINT_COLORMAP, "TIFFPRINT_COLORMAP"},
    {TIFFPRINT_JPEGQTABLES, "TIFFPRINT_JPEGQTABLES"},
    {TIFFPRINT_JPEGACTABLES, "TIFFPRINT_JPEGACTABLES"},
    {TIFFPRINT_STRIPS | TIFFPRINT_CURVES | TIFFPRINT_COLORMAP,
     "TIFFPRINT_STRIPS|TIFFPRINT_CURVES|TIFFPRINT_COLORMAP"},
};

struct Where {
    // cppcheck-suppress unusedStructMember
    const char *filename;
    // cppcheck-suppress unusedStructMember
    std::string place;
    // cppcheck-suppress unusedStructMember
    const char *flags;
};

// "NAME: PLACE: TIFFPrintDirectory(FLAGS): ...", the rest as the row `Id`
// words it.
template <probe::Line Id, typename... Args>
void Said(const Where &w, Args... args)
{
    probe::Say<Id>(w.filename, w.place.c_str(), w.flags, args...);
}

std::string Joined(const std::vector<double> &numbers)
{
    std::string out;
    for (double n : numbers) {
        char b[32];
        snprintf(b, sizeof(b), "%.15g", n);
        if (!out.empty())
            out += ", ";
        out += b;
    }
    return out;
}

// A text for a line: control characters and bytes past ASCII C-escaped,
// so that a line stays one line of printable characters.
std::string Visible(const std::string &text)
{
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) {
            out += c;
            continue;
        }
        char b[8];
        snprintf(b, sizeof(b), "\\%03o", u);
        out += b;
    }
    return out;
}

std::string Shown(const Item &item)
{
    std::string out = item.value;
    for (const std::string &line : item.more) {
        if (!out.empty())
            out += " / ";
        out += Trim(line);
    }
    return Visible(out);
}

// The values of an item's lines "K: values", K counting from 0; false when
// a line is not of that form or out of order.
bool Entries(const Item &item, std::vector<std::vector<double>> *entries)
{
    for (const std::string &line : item.more) {
        const std::vector<double> n = Numbers(line);
        if (Trim(line).empty())
            continue;
        if (n.empty() || line.find(':') == std::string::npos ||
            n[0] != static_cast<double>(entries->size()))
            return false;
        entries->emplace_back(n.begin() + 1, n.end());
    }
    return true;
}

// The numbers an item prints: on its line, and in its entry lines.
bool ItemNumbers(const Item &item, std::vector<double> *numbers)
{
    *numbers = Numbers(item.value);
    std::vector<std::vector<double>> entries;
    if (!Entries(item, &entries))
        return false;
    for (const auto &e : entries)
        numbers->insert(numbers->end(), e.begin(), e.end());
    return true;
}

std::string Expected(const Field &f)
{
    switch (f.kind) {
    case Kind::Text:
    case Kind::Packet:
        return "\"" + Visible(f.text) + "\"";
    case Kind::Names: {
        std::string out;
        for (const std::string &t : f.texts)
            out += (out.empty() ? "\"" : ", \"") + Visible(t) + "\"";
        return out;
    }
    case Kind::Bytes:
    case Kind::Jpeg:
        return std::to_string(f.bytes.size()) + " bytes";
    default:
        return Joined(f.numbers);
    }
}

bool SameNumbers(const std::vector<double> &got, const Field &f)
{
    if (got == f.numbers)
        return true;
    if (!f.repeated || got.empty() || f.numbers.size() != 1)
        return false;
    return std::all_of(got.begin(), got.end(), [&](double g) { return g == f.numbers[0]; });
}

// The values of JPEG marker segments of `marker` in `bytes`: DQT's table
// entries, or DHT's symbols (after each table's 16 counts). Bounds checked:
// the bytes are the file's.
std::vector<double> SegmentValues(const std::vector<uint8_t> &bytes, uint8_t marker)
{
    std::vector<double> out;
    size_t i = 2;
    while (i + 4 <= bytes.size() && bytes[i] == 0xFF) {
        const uint8_t m = bytes[i + 1];
        const size_t length = static_cast<size_t>(bytes[i + 2]) << 8 | bytes[i + 3];
        if (m == 0xD9 || length < 2 || i + 2 + length > bytes.size())
            break;
        const size_t end = i + 2 + length;
        size_t p = i + 4;
        while (m == marker && p < end) {
            if (marker == 0xDB) {
                const size_t width = (bytes[p] >> 4) ? 2 : 1;
                p++;
                for (int k = 0; k < 64 && p + width <= end; k++, p += width)
                    out.push_back(width == 2 ? (bytes[p] << 8 | bytes[p + 1]) : bytes[p]);
            } else {
                size_t symbols = 0;
                for (size_t k = 0; k < 16 && p + 1 + k < end; k++)
                    symbols += bytes[p + 1 + k];
                p += 17;
                for (size_t k = 0; k < symbols && p < end; k++, p++)
                    out.push_back(bytes[p]);
            }
        }
        i = end;
    }
    return out;
}

// Whether `all` holds every value of `part`, as often.
bool Holds(std::vector<double> all, std::vector<double> part)
{
    std::sort(all.begin(), all.end());
    std::sort(part.begin(), part.end());
    return !part.empty() && std::includes(all.begin(), all.end(), part.begin(), part.end());
}

bool CheckTable(const Field &f, const Item &item, long flags, const Where &w)
{
    if (!(flags & f.flag))
        return true; // shown as present; the values only with the flag
    const size_t expect = f.numbers.size() / f.width;
    size_t n = 0;
    for (const std::string &line : item.more) {
        if (Trim(line).empty())
            continue;
        const std::vector<double> got = Numbers(line);
        std::vector<double> want = {static_cast<double>(n)};
        if (n < expect)
            want.insert(want.end(), f.numbers.begin() + static_cast<long>(n * f.width),
                        f.numbers.begin() + static_cast<long>((n + 1) * f.width));
        if (n >= expect || got != want || line.find(':') == std::string::npos) {
            want.erase(want.begin());
            if (n < expect)
                Said<probe::Line::PrintedEntry>(w, f.tag, f.name.c_str(), n, Trim(line).c_str(),
                                                Joined(want).c_str());
            else
                Said<probe::Line::PrintedEntryExtra>(w, f.tag, f.name.c_str(), n,
                                                     Trim(line).c_str());
            return false;
        }
        n++;
    }
    if (n != expect) {
        Said<probe::Line::PrintedEntries>(w, f.tag, f.name.c_str(), n, expect);
        return false;
    }
    return true;
}

bool CheckJpeg(const Field &f, const Item &item, long flags, const Where &w)
{
    const std::vector<double> length = Numbers(item.value);
    bool ok = true;
    if (length != std::vector<double>{static_cast<double>(f.bytes.size())}) {
        Said<probe::Line::PrintedAs>(w, f.tag, f.name.c_str(), Shown(item).c_str(),
                                     Expected(f).c_str());
        ok = false;
    }
    std::vector<double> printed;
    for (const std::string &line : item.more) {
        const std::vector<double> n = Numbers(line);
        printed.insert(printed.end(), n.begin(), n.end());
    }
    // TIFFPrintDirectory(3tiff): the Q matrices, the AC and DC tables.
    if ((flags & TIFFPRINT_JPEGQTABLES) && !Holds(printed, SegmentValues(f.bytes, 0xDB))) {
        Said<probe::Line::TablesNotPrinted>(w, f.tag, f.name.c_str(), "quantization");
        ok = false;
    }
    if ((flags & TIFFPRINT_JPEGACTABLES) && !Holds(printed, SegmentValues(f.bytes, 0xC4))) {
        Said<probe::Line::TablesNotPrinted>(w, f.tag, f.name.c_str(), "Huffman");
        ok = false;
    }
    return ok;
}

bool ValueRight(const Field &f, const Item &item)
{
    std::vector<double> got;
    switch (f.kind) {
    case Kind::Text: {
        // A line break in the text leaves its rest on the lines after.
        std::string text = item.value;
        for (const std::string &line : item.more)
            text += "\n" + line;
        return prints::SameText(text, f.text);
    }
    case Kind::Packet: {
        std::string text = item.value;
        for (const std::string &line : item.more)
            text += line;
        return text == f.text;
    }
    case Kind::Names: {
        std::vector<std::string> names;
        size_t at = 0;
        while (at <= item.value.size()) {
            size_t comma = item.value.find(", ", at);
            if (comma == std::string::npos)
                comma = item.value.size();
            names.push_back(item.value.substr(at, comma - at));
            at = comma + 2;
        }
        return names.size() == f.texts.size() &&
               std::equal(names.begin(), names.end(), f.texts.begin(), prints::SameText);
    }
    case Kind::Enum: {
        if (!ItemNumbers(item, &got))
            return false;
        // By the standard's words, any number printed besides being the
        // value or one of those words ("row 0"); or by the number alone.
        const auto only = [&](std::vector<double> allowed) {
            allowed.push_back(f.numbers[0]);
            return std::all_of(got.begin(), got.end(), [&](double g) {
                return std::find(allowed.begin(), allowed.end(), g) != allowed.end();
            });
        };
        const std::string shown = Shown(item);
        if (std::any_of(f.unlike.begin(), f.unlike.end(),
                        [&](const std::string &words) { return HasWords(shown, words); }))
            return false;
        for (const std::string &words : f.texts) {
            if (HasWords(shown, words))
                return only(Numbers(words));
        }
        return !got.empty() && only({});
    }
    case Kind::Bytes: {
        if (!ItemNumbers(item, &got))
            return false;
        const std::vector<double> bytes(f.bytes.begin(), f.bytes.end());
        // Its length ("<present>, 9 bytes"), its bytes, or its text.
        return got == std::vector<double>{static_cast<double>(f.bytes.size())} || got == bytes ||
               (!f.text.empty() && item.value == f.text);
    }
    default:
        if (!ItemNumbers(item, &got) || !SameNumbers(got, f))
            return false;
        return f.texts.empty() ||
               std::any_of(f.texts.begin(), f.texts.end(),
                           [&](const std::string &words) { return HasWords(item.value, words); });
    }
}

// The strips (or tiles) as TIFFPRINT_STRIPS prints them: "N Strips:", then
// "K: [offset, count]" for each.
bool CheckChunks(const Item &item, const ifd::Directory &dir, bool tiled, const Where &w)
{
    const ifd::Entry *offsets =
        ifd::FindEntry(dir, tiled ? ifd::tag::TileOffsets : ifd::tag::StripOffsets);
    const ifd::Entry *counts =
        ifd::FindEntry(dir, tiled ? ifd::tag::TileByteCounts : ifd::tag::StripByteCounts);
    const char *unit = tiled ? "tile" : "strip";
    const size_t expect =
        offsets && counts ? std::min(offsets->values.size(), counts->values.size()) : 0;
    size_t n = 0;
    for (const std::string &line : item.more) {
        if (Trim(line).empty())
            continue;
        std::vector<double> want;
        if (n < expect)
            want = {static_cast<double>(n), static_cast<double>(offsets->values[n]),
                    static_cast<double>(counts->values[n])};
        if (n >= expect || Numbers(line) != want) {
            if (!want.empty())
                want.erase(want.begin());
            if (n < expect)
                Said<probe::Line::PrintedChunk>(w, unit, n, Trim(line).c_str(),
                                                Joined(want).c_str());
            else
                Said<probe::Line::PrintedChunkExtra>(w, unit, n, Trim(line).c_str());
            return false;
        }
        n++;
    }
    const std::vector<double> said = Numbers(item.label);
    if (n != expect || said != std::vector<double>{static_cast<double>(expect)}) {
        Said<probe::Line::PrintedChunks>(w, item.label.c_str(), n, unit, expect);
        return false;
    }
    return true;
}

bool IsChunks(const Item &item, bool tiled)
{
    static const std::regex strips(R"(^[0-9]+ Strips$)");
    static const std::regex tiles(R"(^[0-9]+ Tiles$)");
    return item.value.empty() && std::regex_match(item.label, tiled ? tiles : strips);
}

// One directory printed with `flags`, against the fields it holds.
bool CheckPrinted(const std::string &text, const std::vector<Field> &fields, uint64_t offset,
                  const ifd::Directory *chunks, bool tiled, const Where &w, long flags)
{
    const Printed printed = Parse(text);
    bool ok = true;
    const std::vector<double> heading = Numbers(printed.heading);
    if (heading.empty() || std::any_of(heading.begin(), heading.end(), [&](double h) {
            return h != static_cast<double>(offset);
        })) {
        Said<probe::Line::PrintHeading>(w, printed.heading.c_str(), offset);
        ok = false;
    }
    std::vector<int> seen(fields.size(), 0);
    bool chunks_seen = false;
    for (const Item &item : printed.items) {
        if (chunks && IsChunks(item, tiled)) {
            if (!(flags & TIFFPRINT_STRIPS) || chunks_seen) {
                Said<probe::Line::ChunksUnasked>(w, tiled ? "tile" : "strip");
                ok = false;
            } else {
                ok = CheckChunks(item, *chunks, tiled, w) && ok;
            }
            chunks_seen = true;
            continue;
        }
        const std::string label = Normal(item.label);
        const std::string slashless = Normal(item.label, false);
        size_t i = 0;
        while (i < fields.size() &&
               std::none_of(fields[i].labels.begin(), fields[i].labels.end(),
                            [&](const std::string &l) { return l == label || l == slashless; }))
            i++;
        if (i == fields.size()) {
            Said<probe::Line::PrintedNotHeld>(w, item.label.c_str());
            ok = false;
            continue;
        }
        const Field &f = fields[i];
        if (seen[i]++) {
            Said<probe::Line::PrintedAgain>(w, f.tag, f.name.c_str());
            ok = false;
            continue;
        }
        if (f.kind == Kind::Table)
            ok = CheckTable(f, item, flags, w) && ok;
        else if (f.kind == Kind::Jpeg)
            ok = CheckJpeg(f, item, flags, w) && ok;
        else if (!ValueRight(f, item)) {
            Said<probe::Line::PrintedAs>(w, f.tag, f.name.c_str(), Shown(item).c_str(),
                                         Expected(f).c_str());
            ok = false;
        }
    }
    for (size_t i = 0; i < fields.size(); i++) {
        if (!seen[i]) {
            Said<probe::Line::PrintNotPrinted>(w, fields[i].tag, fields[i].name.c_str());
            ok = false;
        }
    }
    if (chunks && (flags & TIFFPRINT_STRIPS) && !chunks_seen) {
        Said<probe::Line::ChunksNotPrinted>(w, tiled ? "tile" : "strip");
        ok = false;
    }
    return ok;
}

// What TIFFPrintDirectory prints of the current directory, in memory.
bool PrintToMemory(TIFF *tif, long flags, std::string *text)
{
    char *buf = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buf, &size);
    if (!f)
        return false;
    TIFFPrintDirectory(tif, f, flags);
    const bool ok = fclose(f) == 0;
    if (ok && buf)
        text->assign(buf, size);
    free(buf);
    return ok;
}

} // namespace

bool CheckDirectory(TIFF *tif, const std::vector<Field> &fields, uint64_t offset,
                    const ifd::Directory *chunks, const char *filename, const std::string &place,
                    bool every_flag)
{
    const bool tiled = TIFFIsTiled(tif) != 0;
    bool ok = true;
    for (const Flags &flags : all_flags) {
        if (!every_flag && flags.value != TIFFPRINT_NONE)
            continue;
        const Where w{filename, place, flags.name};
        std::string text;
        if (!PrintToMemory(tif, flags.value, &text)) {
            Said<probe::Line::CantPrint>(w);
            return false;
        }
        ok = CheckPrinted(text, fields, offset, chunks, tiled, w, flags.value) && ok;
    }
    return ok;
}

} // namespace print_probe
