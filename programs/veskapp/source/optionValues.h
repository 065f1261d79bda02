// The options of one command line and the getters that read one of them.
// `OptionValues` maps an option's name (without "--") to its value, one entry
// per occurrence. A getter throws MissingOptionException when the option is
// absent, TooManyOptionsException when it was given more than once (even with
// equal values), and boost::bad_lexical_cast when its text does not convert.
// Numbers: an optional '+' or '-' and decimal digits only, leading zeros
// allowed, magnitude within the type; '-' negates modulo the type's width
// ("-1" is the type's maximum). Booleans: "0" or "1" after any zeros, with an
// optional '+' (or '-' before a 0), so "01" is true and "true" is an error.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace veskapp {

using OptionValues = std::unordered_multimap<std::string, std::string>;

std::string getStringOption(const std::string& name, const OptionValues& commandOptionValues);
bool getBoolOption(const std::string& name, const OptionValues& commandOptionValues);
uint32_t getUInt32Option(const std::string& name, const OptionValues& commandOptionValues);
uint64_t getUInt64Option(const std::string& name, const OptionValues& commandOptionValues);

}  // namespace veskapp
