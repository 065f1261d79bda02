// For the binding's tests: what every HTTP request must do while the HTTP
// library cannot be bound, whatever the reason.
#pragma once

namespace vesktools::testing {

// Checks the forwarders' answers, the client's -411351 at init and -411350 at
// its first option, and the web helper's -52024 with the client's code.
void expectEveryRequestFails();

}  // namespace vesktools::testing
