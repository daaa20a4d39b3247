// Counts every allocation through operator new in the test program that links it.
#pragma once

namespace discsim::testing {

// Allocations made so far by the whole program.
long allocation_count();

// Allocations made so far by the calling thread, for code that runs beside threads of its own.
long allocation_count_on_this_thread();

}  // namespace discsim::testing
