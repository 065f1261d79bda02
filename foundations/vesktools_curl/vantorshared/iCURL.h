// The HTTP client as its users hold it (through shared pointers): one GET or
// PUT at a time to a remote target's web service, the answer's JSON text
// handed back, every failure thrown as qzerr::Exception.
#pragma once

#include <cstdint>
#include <string>

namespace qz::vantor::shared {

class iCURL {
 public:
  virtual ~iCURL() = default;

  // Request URLs are uri + "/" + prefix + "/" + path; timeoutMs limits each
  // whole request (0: no limit). Called once, right after creation.
  virtual void init(const std::string& uri, const std::string& prefix, uint32_t timeoutMs) = 0;
  // Sets both the "Accept" and the "Content-Type" header; empty: neither.
  virtual void setMediaType(const std::string& type) = 0;
  virtual void setCredentials(const std::string& user, const std::string& password) = 0;
  virtual std::string put(const std::string& path, std::string body) = 0;
  virtual std::string get(const std::string& path) = 0;
};

}  // namespace qz::vantor::shared
