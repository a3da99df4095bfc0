// The pieces of client_probe, by concern: the file in memory and its
// procedures (client_mem.cpp), the pages written and read back
// (client_pages.cpp), the failure sweep (client_sweep.cpp) and the open
// options (client_options.cpp); client_probe.cpp runs them.
#ifndef TIFF_PROBES_CLIENT_PROBE_H
#define TIFF_PROBES_CLIENT_PROBE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

#include "client_values.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace client_probe {

using client::Fault;
using client::fault_count;
using client::faults;
using client::Page;
using client::page_count;
using client::pages;
using client::Step;
using client::step_count;
using client::steps;
using probe::Layout;

inline size_t Index(Step s)
{
    return static_cast<size_t>(s);
}
inline size_t Index(Fault f)
{
    return static_cast<size_t>(f);
}

// A file in memory and the bookkeeping of its procedures.
struct MemFile {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> written; // 1 where a write stored the byte
    uint64_t pos = 0;
    bool mappable = true;
    // The step in progress, and the calls of each procedure in each step.
    Step step = Step::None;
    unsigned calls[step_count][fault_count] = {};
    // The call to break: call fault_at of the procedure of `fault` in
    // fault_step; `fired` once it has been broken.
    Fault fault = Fault::None;
    Step fault_step = Step::None;
    unsigned fault_at = 0;
    bool fired = false;
    unsigned closes = 0;
    unsigned maps = 0;
    unsigned unmaps = 0;
    bool unmap_other = false; // an unmap of another region than the map gave
    const void *map_base = nullptr;
    toff_t map_size = 0;
};

// The same bytes, with fresh bookkeeping.
MemFile Copy(const MemFile &m);

// What one handler of the open options received: its user data.
struct Channel {
    explicit Channel(bool is_error) : error(is_error) {}
    bool error;                   // the error handler's, else the warning handler's
    int stop = 1;                 // what the handler returns
    unsigned calls = 0;           // calls with this user data
    unsigned wrong_kind = 0;      // calls of the other handler with this user data
    const TIFF *handle = nullptr; // the handle the calls must name, once known
    unsigned wrong_handle = 0;
    std::string last; // "MODULE: TEXT" of the last call
};

struct Listener {
    Channel error = Channel(true);
    Channel warning = Channel(false);
    unsigned Messages() const { return error.calls + warning.calls; }
    void Stop(int stop)
    {
        error.stop = stop;
        warning.stop = stop;
    }
};

// Calls of either handler without user data.
extern unsigned lost_user_data;

// Opens `m` through the probe's procedures; with a listener (and a limit)
// through the open options where the library has them.
TIFF *OpenMem(MemFile *m, const char *name, const char *mode, Listener *l, long max_alloc = 0);

// The shared forms of probe::Create and probe::Reopen, for the handles that
// TIFFOpen does not open.
void SayCantCreate(const char *name);
void SayCantOpen(const char *name);

// A field of a page: its tag, its value, and whether TIFFGetField gives it
// as a uint32_t (else a uint16_t).
struct Field {
    uint32_t tag;
    uint32_t value;
    bool wide;
};

std::vector<Field> PageFields(const Page &p);
uint32_t StripCount(const Page &p);
// Strip s of page k: its rows of Pixel(k, i).
std::vector<uint8_t> StripBytes(size_t k, uint32_t s);
// Sets page k's fields; `name` null says nothing.
bool SetPage(TIFF *tif, size_t k, const char *name);
// Writes strips [from, to) of page k; `name` null says nothing.
bool WriteStrips(TIFF *tif, size_t k, uint32_t from, uint32_t to, const char *name);

// What a reading of the pages found.
struct Reading {
    bool refused = false;    // a call failed: the file is visibly short of whole
    bool wrong = false;      // a value came back other than written
    bool other_text = false; // page 0's description is the one before the update
    bool failed[step_count] = {};
    unsigned messages = 0;
    bool Whole() const { return !refused && !wrong && !other_text; }
};

// Reads every page of an open handle; the steps of its directory reads are
// counted in `m` where one is given. `description` is what page 0 must
// hold, `before` what it may hold instead; `name` null says nothing.
void WalkPages(TIFF *tif, MemFile *m, const char *description, const char *before, const char *name,
               Reading *r);
// Opens `m` for reading and reads its pages.
void ReadPages(MemFile *m, const char *handle_name, const char *mode, const char *description,
               const char *before, const char *name, Listener *l, Reading *r);
// Writes both pages: page 0 checkpointed after its first strip and written
// with TIFFWriteDirectory, page 1 by the close; true when every call
// succeeded.
bool Writer(MemFile *m, const char *handle_name, const char *mode, const char *name, Listener *l,
            Reading *run);
// Gives page 0 a longer description in place ("r+", TIFFRewriteDirectory).
void Updater(MemFile *m, const char *handle_name, Listener *l, Reading *run);

// Writes the bytes of a memory file to `name`, so that a failed layout's
// file stays for inspection as the other probes' do.
void Keep(const char *name, const MemFile &m);
// The header's byte order and format, and no problem in the reading: the
// shared forms of probe::ReadFormat, for bytes that are in memory.
bool FormatOnDisk(const Layout &layout, const std::vector<uint8_t> &bytes, ifd::File *file);
// Both pages as the file's bytes hold them.
bool PagesOnDisk(const char *name, const std::vector<uint8_t> &bytes, const ifd::File &file);

// The failure sweep of one layout: every call of every procedure in every
// step broken in turn, each case judged by the rule at the top of
// client_probe.cpp.
bool Sweep(const Layout &layout);

// The open options' handlers and allocation limit, on a file of the
// layout's; without the options in the library, a pass that sets
// no_open_options.
bool OptionsTest(const Layout &layout);
// Whether the library lacks the open options, said as a skip only when the
// whole probe passed.
extern bool no_open_options;

} // namespace client_probe

#endif
