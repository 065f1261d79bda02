#include "locationsTool.h"

#include <boost/program_options.hpp>

#include <exception>
#include <sstream>
#include <stdexcept>

#include "jsonz/jsonString.h"

namespace veskloc {
namespace {

namespace po = boost::program_options;

constexpr unsigned kLineLength = 80;
constexpr unsigned kMinDescriptionLength = 40;

po::options_description optionsDescription() {
  po::options_description options("Print out various QZ Sync Domain file and directory locations", kLineLength,
                                  kMinDescriptionLength);
  options.add_options()
      ("help", "produce help message")
      ("json", "output in JSON format")
      ("location", po::value<std::string>(), "install location directory or file path");
  return options;
}

po::variables_map parse(int argc, const char* const argv[], const po::options_description& options) {
  po::positional_options_description positional;
  positional.add("location", -1);
  po::variables_map values;
  po::store(po::command_line_parser(argc, argv).options(options).positional(positional).run(), values);
  po::notify(values);
  return values;
}

const std::string& pathOf(const Locations& locations, const std::string& key) {
  for (const auto& [name, path] : locations) {
    if (name == key) return path;
  }
  throw std::invalid_argument("invalid location " + key);
}

// Writes the whole answer at once.
int run(int argc, const char* const argv[], std::ostream& out) {
  const po::options_description options = optionsDescription();
  const po::variables_map values = parse(argc, argv, options);
  if (values.count("help") != 0) {
    out << options << "\n";
    return 0;
  }
  const Locations locations = vesksLocations(InstallLocations());
  if (values.count("location") != 0) {
    out << pathOf(locations, values["location"].as<std::string>()) + "\n";
  } else if (values.count("json") != 0) {
    out << locationsJson(locations);
  } else {
    out << locationLines(locations);
  }
  return 0;
}

}  // namespace

int runLocationsTool(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
  try {
    return run(argc, argv, out);
  } catch (const std::exception& error) {
    err << error.what() << "\n";
    return 1;
  }
}

std::string locationLines(const Locations& locations) {
  std::ostringstream text;
  for (const auto& [key, path] : locations) text << key << "=" << path << "\n";
  return text.str();
}

std::string locationsJson(const Locations& locations) {
  std::ostringstream text;
  text << "{\n";
  const char* separator = "";
  for (const auto& [key, path] : locations) {
    text << separator << jsonz::jsonString(key) << ":" << jsonz::jsonString(path);
    separator = ",\n";
  }
  text << "\n}\n";
  return text.str();
}

}  // namespace veskloc
