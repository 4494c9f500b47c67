#pragma once
// How the process keeps memory it has freed.

// Every job allocates image buffers of the same few megabytes and frees them minutes later.
// Handing them back to the system each time makes the kernel zero-fill them anew on the next
// job, which costs more than the job's own pass over them; kept in the heap, they are reused
// as they are. The process then holds on to the memory of its largest job.
void KeepFreedImageMemory();
