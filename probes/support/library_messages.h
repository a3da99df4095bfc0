// Counts the TIFF library's errors and warnings. A healthy library says
// nothing while a probe runs, so a message is itself a finding, even when
// every value came back right.
#ifndef TIFF_PROBES_LIBRARY_MESSAGES_H
#define TIFF_PROBES_LIBRARY_MESSAGES_H

// Installs handlers that pass each message on to the library's own handler,
// which prints it as before, and count it.
void CountLibraryMessages();
// The number of messages since CountLibraryMessages.
unsigned long LibraryMessages();

#endif
