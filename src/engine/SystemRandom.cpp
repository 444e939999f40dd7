// SPDX-License-Identifier: Apache-2.0
#include "SystemRandom.h"

#include <cerrno>
#include <sys/random.h>

namespace ostrel {

bool systemRandomWords(std::vector<uint64_t>& words, size_t count)
{
    words.assign(count, 0);
    auto* at = reinterpret_cast<unsigned char*>(words.data());
    size_t left = count * sizeof(uint64_t);
    while (left > 0) {
        // Large requests may come back in parts, or be cut by a signal.
        const ssize_t got = ::getrandom(at, left, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += got;
        left -= size_t(got);
    }
    return true;
}

} // namespace ostrel
