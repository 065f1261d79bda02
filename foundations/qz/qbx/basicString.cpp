#include "qz/qbx/basicString.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "qz/qbx/numericCast.h"
#include "qz/qbx/safeInteger.h"

namespace qz::qbx {
namespace {

template <typename Char>
uint64_t measure(const Char* text) {
  return text == nullptr ? 0 : std::char_traits<Char>::length(text);
}

// Bytes for `count` characters and the terminator, within 32 bits.
template <typename Char>
uint32_t bufferBytes(uint32_t count) {
  return safeMultiply(safeAdd(count, 1), sizeof(Char));
}

// Whether `text` points into the allocation [begin, limit], terminator
// included. Compared as addresses: the text may belong to another object.
template <typename Char>
bool liesWithin(const Char* text, const Char* begin, const Char* limit) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(text);
  return address >= reinterpret_cast<uintptr_t>(begin) && address <= reinterpret_cast<uintptr_t>(limit);
}

}  // namespace

template <typename Char>
BasicString<Char>::BasicString() {
  assign(nullptr, 0);
}

template <typename Char>
BasicString<Char>::BasicString(const Char* text) {
  assign(text, measure(text));
}

template <typename Char>
BasicString<Char>::BasicString(const Char* first, const Char* last) {
  assign(first, static_cast<uint64_t>(last - first));
}

template <typename Char>
BasicString<Char>::BasicString(size_t count, Char c) {
  allocate(count);
  std::char_traits<Char>::assign(begin_, count, c);
  end_ = begin_ + count;
  *end_ = Char();
}

template <typename Char>
BasicString<Char>::BasicString(const BasicString& head, const BasicString& tail) {
  allocate(static_cast<uint64_t>(head.size()) + tail.size());
  std::char_traits<Char>::copy(begin_, head.begin_, head.size());
  std::char_traits<Char>::copy(begin_ + head.size(), tail.begin_, tail.size());
  end_ = begin_ + head.size() + tail.size();
  *end_ = Char();
}

template <typename Char>
BasicString<Char>::BasicString(const BasicString& other) {
  assign(other.begin_, other.size());
}

template <typename Char>
BasicString<Char>& BasicString<Char>::operator=(const BasicString& other) {
  BasicString copy(other);
  swap(copy);
  return *this;
}

template <typename Char>
BasicString<Char>::~BasicString() {
  std::free(begin_);
}

template <typename Char>
void BasicString<Char>::allocate(uint64_t count) {
  const uint32_t length = numericCastToUint32(count);
  begin_ = static_cast<Char*>(std::malloc(bufferBytes<Char>(length)));
  if (begin_ == nullptr) throw std::bad_alloc();
  end_ = begin_;
  limit_ = begin_ + length;
}

template <typename Char>
void BasicString<Char>::assign(const Char* text, uint64_t count) {
  allocate(count);
  if (count > 0) std::char_traits<Char>::copy(begin_, text, count);
  end_ = begin_ + count;
  *end_ = Char();
}

template <typename Char>
void BasicString<Char>::swap(BasicString& other) {
  std::swap(begin_, other.begin_);
  std::swap(end_, other.end_);
  std::swap(limit_, other.limit_);
}

// Room for twice the new length when that fits in 32-bit byte counts and the
// allocator agrees; otherwise exactly the new length.
template <typename Char>
void BasicString<Char>::growTo(uint32_t length) {
  const uint32_t textSize = size();
  const uint64_t doubledBytes = (2 * static_cast<uint64_t>(length) + 1) * sizeof(Char);
  uint64_t room = 2 * static_cast<uint64_t>(length);
  void* moved = nullptr;
  if (doubledBytes <= 0xffffffffu) moved = std::realloc(begin_, doubledBytes);
  if (moved == nullptr) {
    room = length;
    moved = std::realloc(begin_, bufferBytes<Char>(length));
    if (moved == nullptr) throw std::bad_alloc();
  }
  begin_ = static_cast<Char*>(moved);
  end_ = begin_ + textSize;
  limit_ = begin_ + room;
}

template <typename Char>
BasicString<Char>& BasicString<Char>::append(const Char* text, uint32_t count) {
  if (text == nullptr || count == 0) return *this;
  if (static_cast<uint64_t>(limit_ - end_) < count) {
    // Text taken from this very string must be read where the buffer moves to.
    const bool ownText = liesWithin(text, begin_, limit_);
    const size_t offset = ownText ? static_cast<size_t>(text - begin_) : 0;
    growTo(safeAdd(size(), count));
    if (ownText) text = begin_ + offset;
  }
  std::char_traits<Char>::move(end_, text, count);
  end_ += count;
  *end_ = Char();
  return *this;
}

template <typename Char>
BasicString<Char>& BasicString<Char>::append(const Char* text) {
  return append(text, numericCastToUint32(measure(text)));
}

template <typename Char>
uint32_t BasicString<Char>::findLast(const Char* needle, uint32_t needleSize, uint32_t pos) const {
  const uint32_t textSize = size();
  if (needleSize > textSize) return kNoPosition;
  uint32_t candidate = std::min(pos, textSize - needleSize);
  if (needleSize == 0) return candidate;
  for (;; --candidate) {
    if (std::char_traits<Char>::compare(begin_ + candidate, needle, needleSize) == 0) return candidate;
    if (candidate == 0) return kNoPosition;
  }
}

template <typename Char>
uint32_t BasicString<Char>::rfind(const Char* needle, uint32_t pos) const {
  return findLast(needle, numericCastToUint32(measure(needle)), pos);
}

template <typename Char>
uint32_t BasicString<Char>::rfind(const BasicString& needle, uint32_t pos) const {
  return findLast(needle.begin_, needle.size(), pos);
}

template class BasicString<char>;
template class BasicString<wchar_t>;

}  // namespace qz::qbx
