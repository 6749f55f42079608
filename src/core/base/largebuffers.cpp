#include "core/base/largebuffers.h"

#include <malloc.h>

namespace LargeBuffers {

void keepForReuse()
{
    // No allocation gets pages of its own, so a freed one goes back to the heap...
    mallopt(M_MMAP_MAX, 0);
    // ...and up to this much free memory at the heap's top stays with the process, enough for
    // the buffers of the largest plan the program takes. Above it, the heap is trimmed as usual.
    mallopt(M_TRIM_THRESHOLD, 1536 * 1024 * 1024);
}

} // namespace LargeBuffers
