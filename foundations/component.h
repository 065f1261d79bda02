// The name of the deliverable a piece of the foundations is linked into.
// Error sites and debug lines carry it as their "component"; each deliverable
// (and each test program) defines it exactly once.
#pragma once

extern const char vesk_componentName[];
