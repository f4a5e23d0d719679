// "sites.lst" as any text. Checks: what is read writes back and reads
// again to the same entries and the same unreadable lines; every entry is
// already in its normal form; its shown name goes back to it; look-ups of
// the text's own lines as addresses never fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tray/core/allowed_sites.h"
#include "tray/core/punycode.h"

using namespace qlx::tray;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SitesReading read = ReadSites(text);
    const std::string written = WriteSites(read.sites, read.unreadable);
    const SitesReading again = ReadSites(written);
    if (again.sites.Entries() != read.sites.Entries() || again.unreadable != read.unreadable ||
        WriteSites(again.sites, again.unreadable) != written) {
        std::abort();
    }
    for (const std::string& entry : read.sites.Entries()) {
        if (NormaliseSite(entry).entry != entry ||
            NormaliseSite(SiteDisplayName(entry)).entry != entry) {
            std::abort();
        }
    }
    for (const std::string& line : read.unreadable) {
        (void)read.sites.Allows(line);
    }
    (void)read.sites.Allows(text);
    return 0;
}
