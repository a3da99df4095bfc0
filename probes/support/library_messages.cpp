#include "library_messages.h"

#include <cstdarg>

#include <tiffio.h>

#include "lines.h"

namespace {

TIFFErrorHandler previous_error = nullptr;
TIFFErrorHandler previous_warning = nullptr;
unsigned long messages = 0;

void CountError(const char *module, const char *format, va_list ap)
{
    messages++;
    if (previous_error)
        previous_error(module, format, ap);
}

void CountWarning(const char *module, const char *format, va_list ap)
{
    messages++;
    if (previous_warning)
        previous_warning(module, format, ap);
}

} // namespace

void CountLibraryMessages()
{
    previous_error = TIFFSetErrorHandler(CountError);
    previous_warning = TIFFSetWarningHandler(CountWarning);
}

unsigned long LibraryMessages()
{
    return messages;
}

namespace probe {

bool LibraryQuiet(const char *filename, unsigned long since)
{
    if (LibraryMessages() == since)
        return true;
    Say<Line::LibraryProblem>(filename);
    return false;
}

namespace {

unsigned long expected_messages = 0;

void CountExpected(const char * /*module*/, const char * /*format*/, va_list /*ap*/)
{
    expected_messages++;
}

} // namespace

ExpectedMessages::ExpectedMessages()
    : error_(TIFFSetErrorHandler(CountExpected)), warning_(TIFFSetWarningHandler(CountExpected)),
      before_(expected_messages)
{
}

ExpectedMessages::~ExpectedMessages()
{
    TIFFSetErrorHandler(error_);
    TIFFSetWarningHandler(warning_);
}

unsigned long ExpectedMessages::Count() const
{
    return expected_messages - before_;
}

} // namespace probe
