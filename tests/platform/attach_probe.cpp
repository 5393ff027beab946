// A test library with an attach step that refuses when ATTACH_PROBE_REFUSE is
// set, and a detach step that appends "detach\n" to ATTACH_PROBE_MARKER.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/library.h"

namespace {

int g_attachCount = 0;

bool onAttach() {
    ++g_attachCount;
    const char* refuse = std::getenv("ATTACH_PROBE_REFUSE");
    return !(refuse && *refuse);
}

void onDetach() {
    const char* marker = std::getenv("ATTACH_PROBE_MARKER");
    if (!marker || !*marker) return;
    int fd = ::open(marker, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const char line[] = "detach\n";
    if (::write(fd, line, sizeof line - 1) < 0) {
    }
    ::close(fd);
}

}  // namespace

PLATFORM_LIBRARY_ENTRY(onAttach, onDetach)

extern "C" PLATFORM_EXPORT int attach_probe_answer() { return 42; }
extern "C" PLATFORM_EXPORT int attach_probe_attach_count() { return g_attachCount; }
