// SPDX-License-Identifier: Apache-2.0
#pragma once
// Memory that is about to be written from end to end.
#include <cstddef>

namespace ostrel {

// Makes the pages of [data, data + size) present in one call rather than one
// fault at a time: on a virtual machine a fault costs many times what the
// page's share of one call does. Where the system cannot, nothing happens
// and the pages come one by one as before.
void populatePages(void* data, size_t size);

} // namespace ostrel
