// DocumentParsers: the fixed threads on which the session parses its larger
// parameter documents, one at a time each, in the order they came. However
// many clients send documents at once, the parse trees in memory and the
// processors busy with them stay this few, and each parser's heap is reused
// by its next document instead of the heaps of thousands of connection
// threads each keeping what one tree took. A document of a few KiB, as real
// clients send, is parsed on the caller's thread at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "vesktools/threadPool.h"

namespace vesksapi {

class DocumentParsers {
 public:
  // Parsed on the caller's thread, a parse tree of at most some 160 KiB; the
  // service's request budget lets requests of this size through uncounted.
  static constexpr size_t kInlineDocumentBytes = 4 * 1024;

  explicit DocumentParsers(uint32_t threads);

  // Runs `parse` for a document of `documentBytes` and waits for it to end;
  // what it throws is thrown here. False, without running it, once the stop
  // has been announced.
  bool parse(size_t documentBytes, const std::function<void()>& parse);
  // Parses still waiting are not begun, and none is taken any more.
  void announceStop() noexcept { parsers_.announceStop(); }

 private:
  vesktools::ThreadPool parsers_;
};

}  // namespace vesksapi
