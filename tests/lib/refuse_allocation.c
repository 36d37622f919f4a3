/* Refuses one allocation of a process, for tests of how a program meets
 * memory it cannot have: loaded with LD_PRELOAD, it makes the N-th call of
 * malloc, calloc, realloc, posix_memalign, aligned_alloc or memalign fail
 * (REFUSE_ALLOCATION=N; counted across a fork, the child going on from the
 * parent's count). With REFUSE_ALLOCATION=0 it refuses none and, at exit,
 * writes how many there were to standard error ("allocations: N"). */
#define _GNU_SOURCE
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* block, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static long calls;
static long refused = -1;

static int refuse(void) {
  if (refused < 0) {
    const char* text = getenv("REFUSE_ALLOCATION");
    refused = text != NULL ? atol(text) : 0;
  }
  if (++calls == refused) {
    errno = ENOMEM;
    return 1;
  }
  return 0;
}

void* malloc(size_t size) { return refuse() ? NULL : __libc_malloc(size); }
void* calloc(size_t count, size_t size) { return refuse() ? NULL : __libc_calloc(count, size); }
void* realloc(void* block, size_t size) { return refuse() ? NULL : __libc_realloc(block, size); }
void* memalign(size_t alignment, size_t size) { return refuse() ? NULL : __libc_memalign(alignment, size); }
void* aligned_alloc(size_t alignment, size_t size) { return refuse() ? NULL : __libc_memalign(alignment, size); }
int posix_memalign(void** result, size_t alignment, size_t size) {
  if (refuse()) return ENOMEM;
  *result = __libc_memalign(alignment, size);
  return *result != NULL ? 0 : ENOMEM;
}

__attribute__((destructor)) static void count(void) {
  if (refused == 0) {
    char line[64];
    const int length = snprintf(line, sizeof line, "allocations: %ld\n", calls);
    (void)!write(2, line, (size_t)length);
  }
}
