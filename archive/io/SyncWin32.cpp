#include <windows.h>

#include "archive/io/Sync.h"

namespace archive {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "Mutex and ConditionVariable hold the system's objects in one pointer");

namespace {
PSRWLOCK Srw(void** p) { return reinterpret_cast<PSRWLOCK>(p); }
}  // namespace

void Mutex::lock() { AcquireSRWLockExclusive(Srw(&lock_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(Srw(&lock_)); }
bool Mutex::try_lock() { return TryAcquireSRWLockExclusive(Srw(&lock_)) != 0; }

void ConditionVariable::notify_one() {
  WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&variable_));
}
void ConditionVariable::notify_all() {
  WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&variable_));
}
void ConditionVariable::wait(std::unique_lock<Mutex>& lock) {
  SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&variable_),
                            Srw(&lock.mutex()->lock_), INFINITE, 0);
}

}  // namespace archive
