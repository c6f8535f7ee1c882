#pragma once

// Start-up tuning of the C library's heap for a program that builds one large,
// long-lived graph.

#include <cstddef>

namespace plinthar::platform {

// Makes every block come from one heap that is never given back to the system, and
// asks the kernel to back the first `reserve` bytes of it with huge pages where it
// offers them on request. A scan then takes a few hundred page faults instead of tens
// of thousands (one per 4 KiB page of a graph of hundreds of megabytes). Does nothing
// after its first call, or where the C library or the kernel lack these controls; the
// reserve is only address space until it is used.
void tune_heap_for_large_graph(std::size_t reserve);

// The reserve to use on this machine: a quarter of its memory, at most 256 MiB.
std::size_t default_heap_reserve();

}  // namespace plinthar::platform
