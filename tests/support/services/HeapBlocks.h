#pragma once
// The heap blocks the calling thread holds, counted by the test program's
// own global operator new and delete, which come with this file: a test
// sees that freeing what a reading made gave back every block it took,
// however the objects are shaped. Blocks one thread takes and another
// frees count on both, so a test compares counts of one thread's work.
namespace movrano::testing {

long HeapBlocksOfThisThread();

}  // namespace movrano::testing
