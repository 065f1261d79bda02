#include "optionValues.h"

#include <iterator>

#include <boost/lexical_cast.hpp>

#include "consoleExceptions.h"

namespace veskapp {
namespace {

// The conversions are boost::lexical_cast's under the default locale; its
// rules are the ones the header states (checked by the tests row by row).
template <typename Value>
Value convertedOption(const std::string& name, const OptionValues& commandOptionValues) {
  return boost::lexical_cast<Value>(getStringOption(name, commandOptionValues));
}

}  // namespace

std::string getStringOption(const std::string& name, const OptionValues& commandOptionValues) {
  const auto entries = commandOptionValues.equal_range(name);
  if (entries.first == entries.second) throw MissingOptionException();
  if (std::next(entries.first) != entries.second) throw TooManyOptionsException();
  return entries.first->second;
}

bool getBoolOption(const std::string& name, const OptionValues& commandOptionValues) {
  return convertedOption<bool>(name, commandOptionValues);
}

uint32_t getUInt32Option(const std::string& name, const OptionValues& commandOptionValues) {
  return convertedOption<uint32_t>(name, commandOptionValues);
}

uint64_t getUInt64Option(const std::string& name, const OptionValues& commandOptionValues) {
  return convertedOption<uint64_t>(name, commandOptionValues);
}

}  // namespace veskapp
