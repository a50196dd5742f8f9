#include "driver/staging.h"

#include "lib/bounded_text.h"
#include "lib/config.h"

#include <cstring>

namespace {

// The order decides: the first entry found in the release wins, so "pae"
// shadows "kdumppae" and "xenpae", and "bigsmp" must stand before "smp".
const char* const kVariants[] = {
    "PAE", "pae", "xen", "bigsmp", "default", "kdump", "kdumppae", "smp", "xenpae",
};

} // namespace

void findvariant(const char* release, char* out, size_t out_size)
{
    if (release == nullptr || out == nullptr || out_size == 0)
        return;
    out[0] = '\0';
    for (const char* variant : kVariants) {
        if (strstr(release, variant) != nullptr) {
            copy_bounded(out, out_size, variant);
            return;
        }
    }
}

std::string candidate_module_name(const char* tag, const char* release, const char* variant)
{
    return format_text("%s%s*%.6s%s_durivozo.ko", g_IqvDir, tag, release, variant);
}
