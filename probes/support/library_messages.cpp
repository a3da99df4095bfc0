#include "library_messages.h"

#include <cstdarg>

#include <tiffio.h>

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
