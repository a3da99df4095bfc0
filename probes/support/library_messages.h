// Counts the TIFF library's errors and warnings. A healthy library says
// nothing while a probe runs, so a message is itself a finding, even when
// every value came back right.
#ifndef TIFF_PROBES_LIBRARY_MESSAGES_H
#define TIFF_PROBES_LIBRARY_MESSAGES_H

#include <tiffio.h>

// Installs handlers that pass each message on to the library's own handler,
// which prints it as before, and count it.
void CountLibraryMessages();
// The number of messages since CountLibraryMessages.
unsigned long LibraryMessages();

namespace probe {

// True when the library said nothing since `since` (a LibraryMessages()
// count); otherwise says "NAME: the library reported a problem.".
bool LibraryQuiet(const char *filename, unsigned long since);

// While one lives, the library's errors and warnings are counted here and
// not passed on: the message of a call a probe makes in order to see it
// refused (a query past the end) is expected, not a finding, and is not
// printed. The counting handlers are back when it goes.
class ExpectedMessages {
  public:
    ExpectedMessages();
    ~ExpectedMessages();
    ExpectedMessages(const ExpectedMessages &) = delete;
    ExpectedMessages &operator=(const ExpectedMessages &) = delete;
    unsigned long Count() const;

  private:
    TIFFErrorHandler error_;
    TIFFErrorHandler warning_;
    unsigned long before_;
};

} // namespace probe

#endif
