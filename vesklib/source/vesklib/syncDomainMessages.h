// The texts that both sync domains (with and without device traffic) write
// into their errors, so that the two report the same failure the same way.
#pragma once

namespace vesklib::syncDomainText {

inline constexpr char kChannel[] = "qzsyncdomain_debug";
inline constexpr char kMissingParameter[] = "Encountered missing parameter needed for task completion.";
// The key under which a constructor reports a missing timescale.
inline constexpr char kTimescaleKey[] = "18TimescaleInterface";
inline constexpr char kAddWhileRunning[] = "Syncable devices may only be added when Sync Domain is not running.";
inline constexpr char kQueryWhileStopped[] = "Sync Domain coherency may only be queried if the domain is running.";
inline constexpr char kAlreadyRunning[] =
    "Sync Domain is already running; need to call stop before calling start again.";
inline constexpr char kNoMembers[] =
    "Sync Domain cannot start without any members. Please add at least one Syncable Device to the domain and "
    "try again.";

}  // namespace vesklib::syncDomainText
