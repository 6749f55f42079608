#pragma once

// Plans are pictures of tens of millions of points, and preparing one or finding its rooms
// makes and drops masks and label pictures of 35 to 140 MB, one after another. Left to itself
// the C library maps each such buffer afresh and unmaps it when it is freed, and the kernel then
// faults in and zeroes every page again: on a 7000 x 5000 plan that took as long as the image
// work itself. Called once at start-up, before any plan is read, it keeps freed memory in the
// process's heap so the next buffer of the same size reuses those pages.
namespace LargeBuffers {

void keepForReuse();

} // namespace LargeBuffers
