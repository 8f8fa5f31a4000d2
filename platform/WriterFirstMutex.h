#pragma once
// A readers-writer lock that lets a waiting writer in before the readers that come
// after it: the system's default keeps letting readers in while any reader holds
// it, so a steady stream of readers would keep writers out for good. Usable with
// std::lock_guard and std::shared_lock; a reader must not take it twice.
#include <pthread.h>

namespace platform {

class WriterFirstMutex {
 public:
  WriterFirstMutex() {
    pthread_rwlockattr_t attributes;
    pthread_rwlockattr_init(&attributes);
    pthread_rwlockattr_setkind_np(&attributes, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
    pthread_rwlock_init(&lock_, &attributes);
    pthread_rwlockattr_destroy(&attributes);
  }
  ~WriterFirstMutex() { pthread_rwlock_destroy(&lock_); }
  WriterFirstMutex(const WriterFirstMutex&) = delete;
  WriterFirstMutex& operator=(const WriterFirstMutex&) = delete;

  void lock() { pthread_rwlock_wrlock(&lock_); }
  void unlock() { pthread_rwlock_unlock(&lock_); }
  void lock_shared() { pthread_rwlock_rdlock(&lock_); }
  void unlock_shared() { pthread_rwlock_unlock(&lock_); }

 private:
  pthread_rwlock_t lock_;
};

}  // namespace platform
