// Heap allocations made by the benchmark program so far (global operator new replaced).
#pragma once

#include <cstdint>

std::uint64_t allocationCount();
