// What the host's Pendulo time-synchronisation manager says about its time
// references (ids, type, port state, grandmaster), whether the host clock is
// synchronised, and the timescale URI a remote target publishes for each
// reference ("/veskwebs/timescales/pendulo/<trId>/<gmId>", spaces as '-').
// Every question goes to the manager anew; nothing is cached. Failures are
// thrown as qzerr::Exception. The composite operations use the basic ones
// through this object's own virtual operations, so an override is seen.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qzpendulo {
class ApiWrapperInterface;
}

namespace vesktools::pendulo {

class TimescaleHelpersInterface {
 public:
  virtual ~TimescaleHelpersInterface() = default;

  // Every ' ' becomes '-'; returns the text changed in place.
  virtual std::string& sanitize(std::string& text) = 0;
  // The six-part timescale URI without its host part (-52005 otherwise).
  virtual std::string getHostlessUri(const std::string& uri) = 0;
  virtual std::string getGrandmasterId(const std::string& timeReferenceId) = 0;
  virtual std::string getTimescaleUri(const std::string& timeReferenceId) = 0;
  virtual std::string getFirstTimeReferenceId() = 0;
  virtual std::string getFirstTimescaleUri() = 0;
  // The references whose timescale can serve: always-usable types and slave
  // ports of the selected reference first (in the reverse of the manager's
  // order), then master or disabled ports (in the manager's order).
  virtual std::vector<std::string> getUsableTimescaleUris() = 0;
  virtual std::string getFirstGrandmasterId() = 0;
  // False, without an error, when the manager cannot be reached.
  virtual bool isHostTimeSynchronized() = 0;
  virtual std::vector<std::string> getTimeReferenceIds() = 0;
  virtual std::string getTimeReferenceType(const std::string& timeReferenceId) = 0;
  virtual std::string getPortState(const std::string& timeReferenceId) = 0;
  virtual bool isMasterOrDisabled(const std::string& timeReferenceId) = 0;
  virtual bool isSlaveOf(const std::string& timeReferenceId) = 0;
};

class TimescaleHelpers : public TimescaleHelpersInterface {
 public:
  explicit TimescaleHelpers(std::shared_ptr<qzpendulo::ApiWrapperInterface> api);

  std::string& sanitize(std::string& text) override;
  std::string getHostlessUri(const std::string& uri) override;
  std::string getGrandmasterId(const std::string& timeReferenceId) override;
  std::string getTimescaleUri(const std::string& timeReferenceId) override;
  std::string getFirstTimeReferenceId() override;
  std::string getFirstTimescaleUri() override;
  std::vector<std::string> getUsableTimescaleUris() override;
  std::string getFirstGrandmasterId() override;
  bool isHostTimeSynchronized() override;
  std::vector<std::string> getTimeReferenceIds() override;
  std::string getTimeReferenceType(const std::string& timeReferenceId) override;
  std::string getPortState(const std::string& timeReferenceId) override;
  bool isMasterOrDisabled(const std::string& timeReferenceId) override;
  bool isSlaveOf(const std::string& timeReferenceId) override;

 private:
  std::shared_ptr<qzpendulo::ApiWrapperInterface> api_;
};

}  // namespace vesktools::pendulo
