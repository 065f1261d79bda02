#include "vesklib/grandmasterIdentity.h"

namespace vesklib {

std::string grandmasterIdentity(const std::string& timescaleUri) {
  std::string identity = timescaleUri.substr(timescaleUri.rfind('/') + 1);
  for (char& c : identity) {
    if (c == '-') c = ':';
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return identity;
}

}  // namespace vesklib
