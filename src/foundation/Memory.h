// The process's memory policy.
#pragma once

namespace dax {

// Keeps memory the process frees for its next allocations instead of handing it back to the
// kernel at once. A show parses documents and decodes pictures over and over, and a fresh
// page costs a fault each time (on some virtual machines more than the work done in it).
// Called once at program start; calling it again does nothing.
void KeepFreedMemory();

}  // namespace dax
