// SPDX-License-Identifier: Apache-2.0
#include "util/Pages.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace ostrel {

void populatePages(void* data, size_t size)
{
#ifdef MADV_POPULATE_WRITE
    const uintptr_t pageSize = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t start = reinterpret_cast<uintptr_t>(data);
    // madvise() takes whole pages; partial ones at either end fault as usual.
    const uintptr_t begin = (start + pageSize - 1) & ~(pageSize - 1);
    const uintptr_t end = (start + size) & ~(pageSize - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace ostrel
