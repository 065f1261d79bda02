// Where the service daemon, the time-stamp daemon with its pid file and the
// console application are installed. A standard path that cannot be looked
// up costs one LOG_WARNING syslog message and a fixed fallback; it never
// stops the tool. A file-system error while testing a path is thrown.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace veskloc {

struct InstallLocations {
  // Computes every field, in this order.
  InstallLocations();

  bool installedInBindir;  // the daemon or the time-stamp daemon lies in bindir
  std::string vesks;
  std::string qztimestampd;
  std::string qztimestampdPidFile;
  std::string veskapp;
};

// (key, path) pairs in output order: "vesks", "qztimestampd",
// "qztimestampdPidFile", "veskapp".
using Locations = std::vector<std::pair<std::string, std::string>>;
Locations vesksLocations(const InstallLocations& locations);

bool isInstalledInBindir();
std::string getVesksPath(bool installedInBindir);
std::string getQztimestampdPath(bool installedInBindir);
std::string getVeskappPath(bool installedInBindir);
std::string getQztimestampdPidFile();

}  // namespace veskloc
