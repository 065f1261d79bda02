// A device whose clock a sync domain watches. Sync domains and their member
// tasks reach member devices only through this class; every operation but
// getUri and clearCoherencyRequirements reports failure by throwing.
#pragma once

#include <cstdint>
#include <string>

class SyncableDeviceInterface {
 public:
  virtual ~SyncableDeviceInterface() = default;

  // Takes on the requirements document of the sync domain `syncDomainUri`.
  // A device that refuses throws, and the domain does not take it as member.
  virtual void setCoherencyRequirements(const std::string& jsonRequirements,
                                        const std::string& syncDomainUri) = 0;
  // Drops that domain's hold on the device; called from a domain's destructor.
  virtual void clearCoherencyRequirements(const std::string& syncDomainUri) noexcept = 0;
  // Whether the device is coherent now; writes its running count of coherency
  // losses. May be called from several pool threads at once.
  virtual bool isCoherent(uint32_t* coherencyLossCount) = 0;
  // Domains key their members by it: it never changes while the device lives.
  virtual const std::string& getUri() const noexcept = 0;
  // The device's JSON description, placed unchanged into a domain's own.
  virtual std::string toJson() = 0;
};
