#pragma once
// A growable array of bare pointers: a block of slots (20 at first, growing by 10
// when full, never shrinking) of which the first GetSize() are in use. It never
// owns the objects pointed to; whoever adds an object deletes it.
#include <algorithm>
#include <memory>

template <typename T>
class PointerArray {
 public:
  PointerArray() : slots_(std::make_unique<T*[]>(kInitialCapacity)), capacity_(kInitialCapacity) {}

  // A copy has 20 slots when the source holds 20 values or fewer, else the
  // source's count + 10.
  PointerArray(const PointerArray& other)
      : slots_(std::make_unique<T*[]>(CopyCapacity(other.count_))),
        capacity_(CopyCapacity(other.count_)),
        count_(other.count_) {
    std::copy_n(other.slots_.get(), count_, slots_.get());
  }

  // Sized as a copy; assigning an array to itself leaves it intact.
  PointerArray& operator=(const PointerArray& other) {
    PointerArray copy(other);
    std::swap(slots_, copy.slots_);
    std::swap(capacity_, copy.capacity_);
    std::swap(count_, copy.count_);
    return *this;
  }

  ~PointerArray() = default;

  // Count becomes 0; the block and its capacity stay.
  void RemoveAll() { count_ = 0; }

  // Stores the value at the end (growing by 10 slots when full); returns its index.
  int Add(T* value) {
    if (count_ == capacity_) Grow(kGrowBy);
    slots_[count_] = value;
    return count_++;
  }

  // Appends the other's values in order (growing by the other's count when they
  // do not fit); returns the other's count. Appending an array to itself doubles it.
  int Append(const PointerArray& other) {
    const int added = other.count_;
    if (count_ + added > capacity_) Grow(added);
    std::copy_n(other.slots_.get(), added, slots_.get() + count_);
    count_ += added;
    return added;
  }

  // The value at the index; null when the index is negative or not below the count.
  T* GetAt(int index) const { return InRange(index) ? slots_[index] : nullptr; }

  // Stores the value when the index is in use; otherwise does nothing.
  void SetAt(int index, T* value) {
    if (InRange(index)) slots_[index] = value;
  }

  int GetSize() const { return count_; }
  int GetCapacity() const { return capacity_; }

  // Removes the value at an index in use, moving later values down; otherwise does nothing.
  void RemoveAt(int index) {
    if (!InRange(index)) return;
    std::copy(slots_.get() + index + 1, slots_.get() + count_, slots_.get() + index);
    --count_;
  }

  // Adds n slots (n > 0), keeping the values; n <= 0 does nothing.
  void Grow(int n) {
    if (n <= 0) return;
    auto larger = std::make_unique<T*[]>(capacity_ + n);
    std::copy_n(slots_.get(), count_, larger.get());
    slots_ = std::move(larger);
    capacity_ += n;
  }

 private:
  static constexpr int kInitialCapacity = 20;
  static constexpr int kGrowBy = 10;

  static int CopyCapacity(int count) { return count <= kInitialCapacity ? kInitialCapacity : count + kGrowBy; }
  bool InRange(int index) const { return index >= 0 && index < count_; }

  std::unique_ptr<T*[]> slots_;
  int capacity_;
  int count_ = 0;
};
