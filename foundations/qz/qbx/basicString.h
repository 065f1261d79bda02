// Owned text buffers with 32-bit lengths, always NUL-terminated: the layer's
// wide and narrow strings. Every length is checked: a text too long for the
// 32-bit limits raises exception::OutOfRange instead of wrapping, and memory
// exhaustion raises std::bad_alloc. Appending text taken from the string
// itself is safe even when the buffer moves.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz::qbx {

// The position that stands for "not found".
inline constexpr uint32_t kNoPosition = 0xffffffff;

template <typename Char>
class BasicString {
 public:
  BasicString();
  // A null text gives the empty string.
  BasicString(const Char* text);  // NOLINT(google-explicit-constructor)
  BasicString(const Char* first, const Char* last);
  BasicString(size_t count, Char c);
  // The concatenation of head and tail.
  BasicString(const BasicString& head, const BasicString& tail);
  BasicString(const BasicString& other);
  BasicString& operator=(const BasicString& other);
  ~BasicString();

  uint32_t size() const { return static_cast<uint32_t>(end_ - begin_); }
  bool empty() const { return end_ == begin_; }
  const Char* begin() const { return begin_; }
  const Char* end() const { return end_; }
  const Char* c_str() const { return begin_; }

  // The largest position not after `pos` where `needle` starts; kNoPosition
  // when absent or longer than the string. An empty needle gives
  // min(pos, size()).
  uint32_t rfind(const Char* needle, uint32_t pos = kNoPosition) const;
  uint32_t rfind(const BasicString& needle, uint32_t pos = kNoPosition) const;

  // A null text appends nothing.
  BasicString& append(const Char* text, uint32_t count);
  BasicString& append(const Char* text);

 private:
  void allocate(uint64_t count);
  void assign(const Char* text, uint64_t count);
  void growTo(uint32_t length);
  uint32_t findLast(const Char* needle, uint32_t needleSize, uint32_t pos) const;
  void swap(BasicString& other);

  Char* begin_ = nullptr;
  Char* end_ = nullptr;
  Char* limit_ = nullptr;  // end of the room for text; the terminator's slot follows
};

extern template class BasicString<char>;
extern template class BasicString<wchar_t>;

}  // namespace qz::qbx
