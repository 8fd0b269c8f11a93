// SPDX-License-Identifier: GPL-3.0-or-later
// LeakSanitizer's suppressions, compiled into every sanitizer binary (the
// program, the tests, the fuzzers) so that a binary run by hand is checked
// as ctest checks it, with no suppressions file to name. Empty in other
// builds.
#include "platform/base/sanitized.h"

#ifdef OSCILOSKOP_SANITIZED
#include <sanitizer/lsan_interface.h>

// The sanitizer runtime asks for them once, at start-up.
extern "C" const char* __lsan_default_suppressions() {
  // Allocations the system's libraries keep to their end, never the
  // program's: Qt on a display (xcb) leaves a D-Bus buffer, fontconfig and
  // Qt their caches, and libsndfile 1.2.0 the Vorbis stream info of an Ogg
  // file with broken headers.
  return "leak:libdbus\n"
         "leak:libfontconfig\n"
         "leak:libQt6\n"
         "leak:vorbis_info_init\n";
}
#endif
