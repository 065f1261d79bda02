// Test and benchmark support: a flood of local clients, each sending one
// call on a connection of its own the way a crowd of hostile programs would
// at once, then waiting for its answer or for the end of its connection. All
// of it runs on the calling thread, one poll over every connection, so each
// client sends as fast as the daemon takes its bytes.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace vesktest {

struct FloodOutcome {
  int connected = 0;
  int answered = 0;  // some reply came
  int closed = 0;    // the connection ended without one
  // The longest time from a client's first byte to its answer or its end.
  std::chrono::milliseconds longest{0};
};

enum class Pacing {
  kEachWhole,           // each frame as fast as the daemon takes it
  kLastBytesTogether,   // every frame but its last bytes, then those of all
                        // clients together: for frames the socket buffers hold
};

// One round of `clients` sending `frame` to the service's socket. Clients
// that cannot connect (the daemon is gone, say) are left out; none waits
// beyond `guard`, counted as neither answered nor closed.
FloodOutcome floodOnce(const std::string& frame, int clients, Pacing pacing,
                       std::chrono::milliseconds guard = std::chrono::seconds(30));

// Rounds of floodOnce until `ending` is set or no client could connect.
void floodUntil(const std::string& frame, int clients, Pacing pacing, const std::atomic<bool>& ending);

// A syncDomain_create call whose document is `bytes` long: a valid sync-domain
// document whose parameters carry an unknown member of tiny values ([0,0,...]),
// the costliest text to parse for its size, and name a timescale that does not
// exist, so that each call fails once parsed and nothing accumulates.
std::string tinyValuesCreateFrame(size_t bytes);

}  // namespace vesktest
