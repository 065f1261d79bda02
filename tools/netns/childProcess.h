// Test support for tests that run programs of ours as child processes (the
// simulated target, the daemon): how a child ended, a wait that cannot hang,
// and a scratch folder for what a child reads.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace vesktest {

// "exit code N", "signal <name>" or "wait status N".
std::string describeWaitStatus(int waitStatus);

// Waits for the child until the deadline, then kills it (SIGKILL) and reaps
// it; returns its wait status.
int waitWithDeadline(pid_t pid, std::chrono::steady_clock::time_point deadline);

// A new folder "<TMPDIR or /tmp>/<prefix>.XXXXXX"; throws std::runtime_error
// when it cannot be made. The caller removes it.
std::string makeScratchDir(const std::string& prefix);

}  // namespace vesktest
