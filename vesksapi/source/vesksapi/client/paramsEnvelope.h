// The parameter document that the create, load and unload operations send:
// {"version":1,"type":<type>,"params":<typeParamsJson>}. The type is written
// as a JSON string (escaped where it must be); the parameters go in as given,
// unchecked, for the daemon to read.
#pragma once

#include <string>

namespace vesksapi {

std::string makeParamsEnvelope(const std::string& type, const std::string& typeParamsJson);

}  // namespace vesksapi
