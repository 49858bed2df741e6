// GCC on mingw keeps thread_local variables, libstdc++'s per-thread exception state
// among them, in emulated thread-local storage. libgcc's emulation takes a winpthreads
// key and per-thread memory that it never gives back, so every load and unload of a DLL
// that links it statically leaves them behind. The provider brings its own emulation
// (the linker then takes no other): one system slot and blocks it frees when the thread
// ends or the provider is unloaded.
#include <windows.h>

#include <malloc.h>

#include <cstdint>
#include <cstring>

#include "platform/windows/ThreadLocalEmulation.h"

extern "C" {

// The layout GCC emits for each emulated thread-local variable.
struct __emutls_object {
  size_t size;
  size_t align;
  union {
    uintptr_t offset;
    void* ptr;
  } loc;
  void* templ;
};

void* __emutls_get_address(__emutls_object* object);
void __emutls_register_common(__emutls_object* object, size_t size, size_t align, void* templ);

}  // extern "C"

namespace qorv_ref::platform {
namespace {

// One thread's copies of the variables, by index; all of them listed for the unload.
struct ThreadBlock {
  ThreadBlock* next;
  size_t count;
  void** copies;
};

SRWLOCK g_lock = SRWLOCK_INIT;
DWORD g_slot = TLS_OUT_OF_INDEXES;
uintptr_t g_variables = 0;
ThreadBlock* g_blocks = nullptr;

void FreeBlock(ThreadBlock* block) {
  for (size_t i = 0; i < block->count; ++i) _aligned_free(block->copies[i]);
  std::free(block->copies);
  std::free(block);
}

// Takes the block out of the list; the caller holds the lock.
void Unlink(ThreadBlock* block) {
  for (ThreadBlock** link = &g_blocks; *link != nullptr; link = &(*link)->next) {
    if (*link == block) {
      *link = block->next;
      return;
    }
  }
}

// The variable's index (from 1), given on first use, and the slot, taken on first use.
uintptr_t IndexOf(__emutls_object* object) {
  uintptr_t index = __atomic_load_n(&object->loc.offset, __ATOMIC_ACQUIRE);
  if (index != 0 && g_slot != TLS_OUT_OF_INDEXES) return index;
  AcquireSRWLockExclusive(&g_lock);
  if (g_slot == TLS_OUT_OF_INDEXES) g_slot = TlsAlloc();
  index = object->loc.offset;
  if (index == 0) {
    index = ++g_variables;
    __atomic_store_n(&object->loc.offset, index, __ATOMIC_RELEASE);
  }
  ReleaseSRWLockExclusive(&g_lock);
  return index;
}

// The calling thread's block with room for index, grown or made as needed.
ThreadBlock* BlockFor(uintptr_t index) {
  auto* block = static_cast<ThreadBlock*>(TlsGetValue(g_slot));
  if (block != nullptr && block->count >= index) return block;
  const size_t count = index + 4;
  auto* copies = static_cast<void**>(std::calloc(count, sizeof(void*)));
  if (copies == nullptr) std::abort();  // as libgcc's emulation does
  AcquireSRWLockExclusive(&g_lock);
  if (block == nullptr) {
    block = static_cast<ThreadBlock*>(std::calloc(1, sizeof(ThreadBlock)));
    if (block == nullptr) std::abort();
    block->next = g_blocks;
    g_blocks = block;
  } else {
    std::memcpy(copies, block->copies, block->count * sizeof(void*));
    std::free(block->copies);
  }
  block->copies = copies;
  block->count = count;
  ReleaseSRWLockExclusive(&g_lock);
  TlsSetValue(g_slot, block);
  return block;
}

}  // namespace

void ReleaseThreadLocalsOfThisThread() {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  auto* block = static_cast<ThreadBlock*>(TlsGetValue(g_slot));
  if (block == nullptr) return;
  TlsSetValue(g_slot, nullptr);
  AcquireSRWLockExclusive(&g_lock);
  Unlink(block);
  ReleaseSRWLockExclusive(&g_lock);
  FreeBlock(block);
}

void ReleaseAllThreadLocals() {
  AcquireSRWLockExclusive(&g_lock);
  while (g_blocks != nullptr) {
    ThreadBlock* block = g_blocks;
    g_blocks = block->next;
    FreeBlock(block);
  }
  if (g_slot != TLS_OUT_OF_INDEXES) TlsFree(g_slot);
  g_slot = TLS_OUT_OF_INDEXES;
  ReleaseSRWLockExclusive(&g_lock);
}

}  // namespace qorv_ref::platform

using namespace qorv_ref::platform;

extern "C" void* __emutls_get_address(__emutls_object* object) {
  const uintptr_t index = IndexOf(object);
  ThreadBlock* block = BlockFor(index);
  void*& copy = block->copies[index - 1];
  if (copy == nullptr) {
    const size_t align = object->align > sizeof(void*) ? object->align : sizeof(void*);
    copy = _aligned_malloc(object->size, align);
    if (copy == nullptr) std::abort();
    if (object->templ != nullptr) {
      std::memcpy(copy, object->templ, object->size);
    } else {
      std::memset(copy, 0, object->size);
    }
  }
  return copy;
}

// For variables emitted as common symbols: the largest size and alignment win.
extern "C" void __emutls_register_common(__emutls_object* object, size_t size, size_t align, void* templ) {
  if (object->size < size) {
    object->size = size;
    object->templ = nullptr;
  }
  if (object->align < align) object->align = align;
  if (templ != nullptr && size == object->size) object->templ = templ;
}
