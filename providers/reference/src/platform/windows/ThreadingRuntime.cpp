// The few POSIX thread functions that libgcc's unwinder and libstdc++ call (once-only
// initialisation and their internal mutexes), on the system's own primitives. Defined
// here, they keep winpthreads out of the DLL: winpthreads gives every thread that meets
// it a thread-local storage slot's value, a structure and a thread handle, and takes a
// slot per load that an unload never returns (i686 unwinds through these functions on
// every exception). Nothing here allocates: the locks live in the DLL's own memory.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

namespace {

// winpthreads' static initialisers: PTHREAD_MUTEX_INITIALIZER and its recursive and
// error-checking forms.
constexpr intptr_t kNormalInitializer = -1;
constexpr intptr_t kRecursiveInitializer = -2;
constexpr intptr_t kErrorCheckInitializer = -3;

struct Lock {
  bool recursive;
  SRWLOCK plain;
  CRITICAL_SECTION section;
};

constexpr LONG kLocks = 32;
Lock g_locks[kLocks];
LONG g_locksUsed = 0;

Lock* LockOf(intptr_t* mutex) {
  intptr_t value = __atomic_load_n(mutex, __ATOMIC_ACQUIRE);
  if (value != kNormalInitializer && value != kRecursiveInitializer && value != kErrorCheckInitializer &&
      value != 0) {
    return reinterpret_cast<Lock*>(value);
  }
  const LONG index = InterlockedIncrement(&g_locksUsed) - 1;
  if (index >= kLocks) std::abort();  // more mutexes than the runtime has ever used
  Lock* lock = &g_locks[index];
  lock->recursive = value == kRecursiveInitializer;
  InitializeSRWLock(&lock->plain);
  InitializeCriticalSectionEx(&lock->section, 0, CRITICAL_SECTION_NO_DEBUG_INFO);
  if (__atomic_compare_exchange_n(mutex, &value, reinterpret_cast<intptr_t>(lock), false, __ATOMIC_ACQ_REL,
                                  __ATOMIC_ACQUIRE)) {
    return lock;
  }
  return reinterpret_cast<Lock*>(value);  // another thread was first; this slot stays unused
}

// Once-only functions may themselves run once-only functions: a recursive lock for all.
INIT_ONCE g_onceLockReady = INIT_ONCE_STATIC_INIT;
CRITICAL_SECTION g_onceLock;

BOOL CALLBACK PrepareOnceLock(INIT_ONCE*, void*, void**) {
  InitializeCriticalSectionEx(&g_onceLock, 0, CRITICAL_SECTION_NO_DEBUG_INFO);
  return TRUE;
}

constexpr long kOnceDone = 2;

}  // namespace

extern "C" {

// Callers that make their mutexes at run time ask for default ones.
int pthread_mutex_init(intptr_t* mutex, const void* /*attributes*/) {
  *mutex = kNormalInitializer;
  return 0;
}

// The locks are the DLL's own memory: nothing to give back.
int pthread_mutex_destroy(intptr_t* /*mutex*/) { return 0; }

int pthread_mutex_lock(intptr_t* mutex) {
  Lock* lock = LockOf(mutex);
  if (lock->recursive) {
    EnterCriticalSection(&lock->section);
  } else {
    AcquireSRWLockExclusive(&lock->plain);
  }
  return 0;
}

int pthread_mutex_unlock(intptr_t* mutex) {
  Lock* lock = LockOf(mutex);
  if (lock->recursive) {
    LeaveCriticalSection(&lock->section);
  } else {
    ReleaseSRWLockExclusive(&lock->plain);
  }
  return 0;
}

int pthread_once(long* once, void (*function)(void)) {
  if (__atomic_load_n(once, __ATOMIC_ACQUIRE) == kOnceDone) return 0;
  InitOnceExecuteOnce(&g_onceLockReady, PrepareOnceLock, nullptr, nullptr);
  EnterCriticalSection(&g_onceLock);
  if (*once == 0) {
    *once = 1;
    function();
    __atomic_store_n(once, kOnceDone, __ATOMIC_RELEASE);
  }
  LeaveCriticalSection(&g_onceLock);
  return 0;
}

}  // extern "C"
