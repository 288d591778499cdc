#pragma once

namespace tavlo {

// Puts the program's heap in the kernel's large pages. Each page the program writes for the
// first time costs the kernel a fault, and a large job writes tens of thousands of them: the
// store's whole load at start, at 100,000 items, faults in some 120 MB. In large pages the heap
// takes a fault per 2 MB instead of per 4 KB. The allocator reads the setting from the
// environment only as a program starts, so the program starts itself again, with the same
// arguments and process, with the setting added; the second time it is there and this returns.
// It also returns when the setting was given another value, or when the program cannot be
// started again (it then goes on as it is). A system that keeps large pages off ignores it.
// Call first thing in main, before any thread starts.
void useLargeHeapPages(char** argv);

} // namespace tavlo
