#include "skeleton.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include <unistd.h>

#include "host_order.h"
#include "lines.h"

namespace probe {

namespace {

std::vector<uint16_t> dropped_codecs;

} // namespace

uint16_t CodecOrNone(uint16_t compression)
{
    if (compression == COMPRESSION_NONE || TIFFIsCODECConfigured(compression) != 0)
        return compression;
    if (!CodecDropped(compression))
        dropped_codecs.push_back(compression);
    return COMPRESSION_NONE;
}

bool CodecDropped(uint16_t compression)
{
    return std::find(dropped_codecs.begin(), dropped_codecs.end(), compression) !=
           dropped_codecs.end();
}

const std::vector<uint16_t> &DroppedCodecs()
{
    return dropped_codecs;
}

const char *Mode(const Layout &layout, Access access)
{
    switch (access) {
    case Access::Create:
        if (layout.bigtiff)
            return layout.big_endian ? "w8b" : "w8l";
        return layout.big_endian ? "wb" : "wl";
    case Access::Read:
        return "r";
    case Access::Update:
        return "r+";
    case Access::ReadOnDemand:
        return "rO";
    }
    return "r";
}

int RunLayouts(const Layout *layouts, size_t count,
               const std::function<bool(const Layout &)> &check)
{
    int status = 0;

    for (size_t i = 0; i < count; i++) {
        if (check(layouts[i]))
            unlink(layouts[i].filename);
        else
            status = 1;
    }
    return status;
}

bool HostBigEndian()
{
    return ifd::host_big_endian;
}

std::string Page(unsigned long k)
{
    return "page " + std::to_string(k);
}

Tiff &Tiff::operator=(Tiff &&other) noexcept
{
    if (this != &other) {
        Close();
        tif_ = other.tif_;
        other.tif_ = nullptr;
    }
    return *this;
}

void Tiff::Close()
{
    if (tif_)
        TIFFClose(tif_);
    tif_ = nullptr;
}

Tiff Create(const char *filename, const char *mode)
{
    Tiff tif(TIFFOpen(filename, mode));
    if (!tif)
        Say<Line::CantCreate>(filename);
    return tif;
}

Tiff Reopen(const char *filename, const char *mode)
{
    Tiff tif(TIFFOpen(filename, mode));
    if (!tif)
        Say<Line::CantOpen>(filename);
    return tif;
}

Tiff Create(const Layout &layout)
{
    return Create(layout.filename, Mode(layout, Access::Create));
}

Tiff Reopen(const Layout &layout, Access access)
{
    return Reopen(layout.filename, Mode(layout, access));
}

uint64_t ItemAt(const void *p, size_t width, size_t i)
{
    const auto *at = static_cast<const uint8_t *>(p) + i * width;
    switch (width) {
    case 2: {
        uint16_t v;
        memcpy(&v, at, 2);
        return v;
    }
    case 4: {
        uint32_t v;
        memcpy(&v, at, 4);
        return v;
    }
    case 8: {
        uint64_t v;
        memcpy(&v, at, 8);
        return v;
    }
    default:
        return *at;
    }
}

bool WriteDirectory(TIFF *tif, unsigned k, const char *filename)
{
    if (TIFFWriteDirectory(tif))
        return true;
    SayCantDirectory("write", filename, Page(k).c_str());
    return false;
}

} // namespace probe
