// Compiled into each executable that allocates through mimalloc (see corvane_allocator in the top
// CMakeLists.txt).
#include <mimalloc.h>

#include <cstddef>
#include <new>

namespace {

// mimalloc keeps freed segments committed for a while in case they are wanted again. A document's
// build frees many large buffers as its vectors grow; giving freed segments back at once costs no
// measurable time here and keeps a large table's process near where glibc's allocator leaves it.
const bool kAllocatorOptionsSet = [] {
  mi_option_set(mi_option_segment_decommit_delay, 0);
  mi_option_set(mi_option_decommit_extend_delay, 0);
  return true;
}();

// Out of memory, operator new must throw (after the new-handler, if any, has had its turns): the
// program reports a failed run with its reason, where mimalloc's own operator new would abort.
void* Allocate(std::size_t size, std::size_t alignment = 0) {
  if (size == 0) size = 1;
  for (;;) {
    void* p = alignment ? mi_malloc_aligned(size, alignment) : mi_malloc(size);
    if (p) return p;
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateOrNull(std::size_t size, std::size_t alignment = 0) noexcept {
  try {
    return Allocate(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* p) noexcept { mi_free(p); }
void operator delete[](void* p) noexcept { mi_free(p); }
void operator delete(void* p, std::size_t size) noexcept { mi_free_size(p, size); }
void operator delete[](void* p, std::size_t size) noexcept { mi_free_size(p, size); }
void operator delete(void* p, const std::nothrow_t&) noexcept { mi_free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { mi_free(p); }
void operator delete(void* p, std::align_val_t alignment) noexcept {
  mi_free_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete[](void* p, std::align_val_t alignment) noexcept {
  mi_free_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete(void* p, std::size_t size, std::align_val_t alignment) noexcept {
  mi_free_size_aligned(p, size, static_cast<std::size_t>(alignment));
}
void operator delete[](void* p, std::size_t size, std::align_val_t alignment) noexcept {
  mi_free_size_aligned(p, size, static_cast<std::size_t>(alignment));
}
void operator delete(void* p, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  mi_free_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete[](void* p, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  mi_free_aligned(p, static_cast<std::size_t>(alignment));
}
