// Counts every allocation through operator new in the test program that links it.
#pragma once

namespace discsim::testing {

// Allocations made so far by the whole program.
long allocation_count();

}  // namespace discsim::testing
