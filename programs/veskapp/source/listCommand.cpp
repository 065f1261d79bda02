#include "listCommand.h"

#include <vector>

#include "jsonz/jsonz.h"
#include "qzerr/errorConstants.h"
#include "qzerr/exception.h"

namespace veskapp {
namespace {

using InfoGetter = void (vesksapi::ApiWrapperInterface::*)(char* buffer, size_t size, qzerr_Status* status);

struct ListTarget {
  const char* word;
  InfoGetter getInfo;
  const char* sizeKey;  // where a buffer-too-small detail names the text's length
};

const ListTarget kTargets[] = {
    {"timescales", &vesksapi::ApiWrapperInterface::getTimescaleInfo, "timescaleInfoSize"},
    {"syncableDevices", &vesksapi::ApiWrapperInterface::getSyncableDeviceInfo, "syncableDeviceInfoSize"},
    {"syncDomains", &vesksapi::ApiWrapperInterface::getSyncDomainInfo, "syncDomainInfoSize"},
    {"correlators", &vesksapi::ApiWrapperInterface::getTimestampCorrelatorInfo, "timestampCorrelatorInfoSize"},
};

constexpr size_t kFirstBufferSize = 32768;
// A registry may grow between two asks; after this many the error stands.
constexpr int kMaxAsks = 4;
// Larger lengths named by a detail are not believed.
constexpr int32_t kMaxTextLength = 256 * 1024 * 1024;

// The buffer a buffer-too-small error asks for (the text and its NUL); 0 when
// the error is another one or names no usable length. The length comes before
// the text in the detail, so only the members up to it are read.
size_t namedBufferSize(const qzerr::Exception& error, const char* sizeKey) {
  if (error.status().code != qzerr::kBufferTooSmall.code) return 0;
  const char* channel = jsonz_findKey(error.what(), "qzsyncdomain_debug");
  const int32_t length = jsonz_getInt(jsonz_findKey(channel, sizeKey), -1, nullptr);
  if (length < 0 || length >= kMaxTextLength) return 0;
  return static_cast<size_t>(length) + 1;
}

std::string readInfo(const ListTarget& target, vesksapi::ApiWrapperInterface& api) {
  size_t size = kFirstBufferSize;
  for (int ask = 1;; ++ask) {
    std::vector<char> buffer(size, '\0');
    try {
      (api.*target.getInfo)(buffer.data(), buffer.size(), qzerr::ScopedStatus());
      return bufferText(buffer);
    } catch (const qzerr::Exception& error) {
      const size_t named = namedBufferSize(error, target.sizeKey);
      if (ask == kMaxAsks || named <= size) throw;
      size = named;
    }
  }
}

}  // namespace

void runListCommand(const std::string& target, const CommandContext& context) {
  for (const ListTarget& entry : kTargets) {
    if (target == entry.word) return context.printResult(readInfo(entry, context.api));
  }
  reportUnimplementedAction();
}

}  // namespace veskapp
