#pragma once

// Start-up tuning of the C library's heap for a program that builds one large,
// long-lived graph.

#include <cstddef>
#include <cstdint>

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

// The same for a machine of `physical_pages` pages of `page_size` bytes (0 when unknown).
// Computed in 64 bits: a 32-bit board may have 4 GiB or more.
std::size_t heap_reserve_for(std::uint64_t physical_pages, std::uint64_t page_size);

// The size of the kernel's transparent huge pages, or 0 where it has none (or where it
// says nothing of them, as on most 32-bit ARM kernels). Read once.
std::size_t transparent_huge_page_size();

}  // namespace plinthar::platform
