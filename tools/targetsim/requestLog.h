// The log of the requests a target received, for tests and for a person
// watching: every request is kept whole (method, target, headers, body) in
// arrival order, up to a limit past which the oldest entries are dropped and
// counted. Safe to use from every server thread.
#pragma once

#include "httpMessage.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace vesktools::targetsim {

class RequestLog {
 public:
  explicit RequestLog(std::size_t limit);

  void add(const HttpRequest& request);
  void clear();
  // {"dropped":N,"requests":[{"seq":1,"method":..,"target":..,"version":..,
  //  "headers":[{"name":..,"value":..}..],"body":..}..]}; seq counts from 1
  // and is not reset by clear().
  std::string toJson() const;

 private:
  struct Entry {
    std::uint64_t seq;
    HttpRequest request;
  };

  const std::size_t limit_;
  mutable std::mutex mutex_;
  std::deque<Entry> entries_;
  std::uint64_t nextSeq_ = 1;
  std::uint64_t dropped_ = 0;
};

}  // namespace vesktools::targetsim
