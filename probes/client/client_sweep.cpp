// client_probe's failure sweep: each call of each procedure in each step of
// the writer, the updater and the reader broken in turn, and each case
// judged by the rule at the top of client_probe.cpp.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "client_probe.h"
#include "client_values.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace client_probe {
namespace {

// Whether bytes [at, at + n) were all stored by writes.
bool Written(const MemFile &m, uint64_t at, uint64_t n)
{
    if (at > m.written.size() || n > m.written.size() - at)
        return false;
    const auto first = m.written.begin() + static_cast<long>(at);
    return std::all_of(first, first + static_cast<long>(n), [](uint8_t w) { return w != 0; });
}

// True when the file claims no byte that no write stored: its IFDs, their
// values and the strips they point to. A file whose header was never
// written whole, or is no header, claims nothing: that it was lost is the
// other rules' business.
bool ClaimsOnlyWritten(const MemFile &m)
{
    if (!Written(m, 0, 8))
        return true;
    const ifd::File file = ifd::ReadFile(m.bytes.data(), m.bytes.size());
    if (!file.has_header)
        return true;
    if (!file.problems.empty())
        return false;
    const bool big = file.header.bigtiff;
    if (big && !Written(m, 0, 16))
        return false;
    for (const auto *dirs : {&file.chain, &file.linked}) {
        for (const ifd::Directory &dir : *dirs) {
            const uint64_t n = dir.entries.size();
            if (!Written(m, dir.offset, big ? 16 + 20 * n : 6 + 12 * n))
                return false;
            for (const ifd::Entry &e : dir.entries) {
                if (!e.is_inline && !Written(m, e.value_at, e.count * ifd::TypeSize(e.type)))
                    return false;
            }
            const ifd::Entry *offsets = ifd::FindEntry(dir, ifd::tag::StripOffsets);
            const ifd::Entry *counts = ifd::FindEntry(dir, ifd::tag::StripByteCounts);
            if (!offsets || !counts)
                continue;
            for (size_t s = 0; s < offsets->values.size() && s < counts->values.size(); s++) {
                if (!Written(m, offsets->values[s], counts->values[s]))
                    return false;
            }
        }
    }
    return true;
}

// The rules of a failure, one line each per step and fault.
enum Rule : uint8_t { AsSuccess, NoMessage, Claims, ReadsWrong, RuleCount };

struct Tally {
    unsigned cases = 0;
    unsigned broken[RuleCount] = {};
    unsigned first[RuleCount] = {};
};

void SayTally(const char *name, const client::StepInfo &s, const client::FaultInfo &f,
              const Tally &t)
{
    using probe::Line;
    using probe::Say;
    for (unsigned r = 0; r < RuleCount; r++) {
        if (!t.broken[r])
            continue;
        const unsigned broken = t.broken[r];
        switch (r) {
        case AsSuccess:
            Say<Line::StepAsSuccess>(name, s.name, f.what, s.call, broken, t.cases, f.call,
                                     t.first[r]);
            break;
        case NoMessage:
            Say<Line::StepNoMessage>(name, s.name, f.what, broken, t.cases, f.call, t.first[r]);
            break;
        case Claims:
            Say<Line::StepClaims>(name, s.name, f.what, broken, t.cases, f.call, t.first[r]);
            break;
        default:
            Say<Line::StepReadsWrong>(name, s.name, f.what, broken, t.cases, f.call, t.first[r]);
        }
    }
}

// The stage a step belongs to.
enum class Stage : uint8_t { Write, Update, Read };
Stage StageOf(Step s)
{
    if (s <= Step::CloseWrite)
        return Stage::Write;
    return s <= Step::CloseUpdate ? Stage::Update : Stage::Read;
}

// The three stages without a fault, each from the last one's file.
struct Clean {
    MemFile written;
    MemFile updated;
    MemFile read;
};

// Runs one stage on `m`, its messages counted and not printed: `run` is
// what its calls returned, `after` the reading of its result (the reader's
// own reading), `claims` whether the file claims only bytes written.
void RunStage(Stage stage, MemFile *m, const std::string &handle, const Layout &layout,
              Reading *run, Reading *after, bool *claims)
{
    Listener l;
    const probe::ExpectedMessages quiet;
    if (stage == Stage::Read) {
        ReadPages(m, handle.c_str(), "rm", client::updated_description, nullptr, nullptr, &l, run);
        run->messages = l.Messages() + static_cast<unsigned>(quiet.Count());
        *after = *run;
        *claims = true;
        return;
    }
    if (stage == Stage::Write)
        Writer(m, handle.c_str(), probe::Mode(layout, probe::Access::Create), nullptr, &l, run);
    else
        Updater(m, handle.c_str(), &l, run);
    run->messages = l.Messages() + static_cast<unsigned>(quiet.Count());
    *claims = ClaimsOnlyWritten(*m);
    // Read back with procedures that do not fail.
    MemFile back = Copy(*m);
    Listener lb;
    const unsigned long before = quiet.Count();
    if (stage == Stage::Write)
        ReadPages(&back, handle.c_str(), "rm", pages[0].description, nullptr, nullptr, &lb, after);
    else
        ReadPages(&back, handle.c_str(), "rm", client::updated_description, pages[0].description,
                  nullptr, &lb, after);
    // The handlers count behind the analyzer's back.
    // cppcheck-suppress duplicateExpression
    after->messages = lb.Messages() + static_cast<unsigned>(quiet.Count() - before);
}

} // namespace

// The failure sweep of one layout: every call of every procedure in every
// step broken in turn, each case judged by the rule at the top.
bool Sweep(const Layout &layout)
{
    const char *name = layout.filename;
    const std::string handle = std::string("sweep_") + name;
    Clean clean;
    Reading run[3];
    Reading after[3];
    bool claims[3];

    RunStage(Stage::Write, &clean.written, handle, layout, &run[0], &after[0], &claims[0]);
    clean.updated = Copy(clean.written);
    RunStage(Stage::Update, &clean.updated, handle, layout, &run[1], &after[1], &claims[1]);
    clean.read = Copy(clean.updated);
    RunStage(Stage::Read, &clean.read, handle, layout, &run[2], &after[2], &claims[2]);
    for (int i = 0; i < 3; i++) {
        if (!after[i].Whole() || !claims[i] || run[i].messages) {
            probe::Say<probe::Line::NotWhole>(name);
            return false;
        }
    }

    bool ok = true;
    for (const client::StepInfo &s : steps) {
        const Stage stage = StageOf(s.step);
        const MemFile &counted = stage == Stage::Write    ? clean.written
                                 : stage == Stage::Update ? clean.updated
                                                          : clean.read;
        for (const client::FaultInfo &f : faults) {
            const unsigned n =
                std::min(counted.calls[Index(s.step)][Index(f.fault)], client::max_calls_swept);
            Tally t;
            for (unsigned at = 1; at <= n; at++) {
                MemFile m = stage == Stage::Write    ? MemFile()
                            : stage == Stage::Update ? Copy(clean.written)
                                                     : Copy(clean.updated);
                m.fault = f.fault;
                m.fault_step = s.step;
                m.fault_at = at;
                Reading r;
                Reading back;
                bool sound = true;
                RunStage(stage, &m, handle, layout, &r, &back, &sound);
                if (!m.fired)
                    continue;
                t.cases++;
                const bool whole = back.Whole();
                const bool failed = r.failed[Index(s.step)];
                bool broken[RuleCount] = {};
                if (!whole && s.returns_status && !failed && (s.writes || r.messages == 0))
                    broken[AsSuccess] = true;
                if ((failed || (!whole && !s.returns_status)) && r.messages == 0)
                    broken[NoMessage] = true;
                if (!sound)
                    broken[Claims] = true;
                if (back.wrong && back.messages == 0 && !broken[AsSuccess])
                    broken[ReadsWrong] = true;
                for (unsigned k = 0; k < RuleCount; k++) {
                    if (broken[k] && t.broken[k]++ == 0)
                        t.first[k] = at;
                }
            }
            for (unsigned k : t.broken) {
                if (k)
                    ok = false;
            }
            SayTally(name, s, f, t);
        }
    }
    return ok;
}

} // namespace client_probe
