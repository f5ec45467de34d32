#pragma once
// A growing array kept in fixed chunks: for the long lists of a run (its
// symbols, the lines it encodes again). Growing never copies what is there,
// so a list of hundreds of megabytes never needs room for two copies of
// itself, and references to elements stay valid.

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace asm68k {

template <typename T, size_t kChunkBits = 10>
class ChunkedVector {
 public:
  static constexpr size_t kChunk = size_t{1} << kChunkBits;

  size_t size() const { return size_; }

  T& operator[](size_t i) { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
  const T& operator[](size_t i) const { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }

  template <typename... Args>
  T& emplace_back(Args&&... args) {
    if ((size_ >> kChunkBits) == chunks_.size()) chunks_.push_back(std::make_unique<T[]>(kChunk));
    T& slot = (*this)[size_++];
    slot = T(std::forward<Args>(args)...);
    return slot;
  }
  void push_back(const T& value) { emplace_back(value); }

  // Keeps the first chunk's room: the next pass fills about as much.
  void clear() {
    if (chunks_.size() > 1) chunks_.resize(1);
    size_ = 0;
  }

  class ConstIterator {
   public:
    ConstIterator(const ChunkedVector* list, size_t index) : list_(list), index_(index) {}
    const T& operator*() const { return (*list_)[index_]; }
    ConstIterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const ConstIterator& other) const { return index_ != other.index_; }

   private:
    const ChunkedVector* list_;
    size_t index_;
  };
  ConstIterator begin() const { return {this, 0}; }
  ConstIterator end() const { return {this, size_}; }

 private:
  std::vector<std::unique_ptr<T[]>> chunks_;
  size_t size_ = 0;
};

}  // namespace asm68k
