// The errors that both sync domains (with and without device traffic) raise
// alike, so that the two refuse the same request the same way. Each check
// throws qzerr::Exception when the request is refused and returns otherwise.
#pragma once

class SyncDomainInterface;
class SyncableDeviceInterface;

namespace vesklib::syncDomainErrors {

inline constexpr char kChannel[] = "qzsyncdomain_debug";
// The key under which a constructor reports a missing timescale.
inline constexpr char kTimescaleKey[] = "18TimescaleInterface";

// -52005 with `key` mapped to "nullptr".
[[noreturn]] void raiseMissing(const char* key);

// A null device (-52005), or any device while the domain runs (-52017).
void checkMayAdd(const SyncDomainInterface& domain, const SyncableDeviceInterface* device);
// A domain that runs already (-52017), then one without members (-52010).
void checkMayStart(const SyncDomainInterface& domain, bool hasMembers);
// A coherency question to a domain that does not run (-52017).
void checkMayQuery(const SyncDomainInterface& domain);

}  // namespace vesklib::syncDomainErrors
