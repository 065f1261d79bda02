// The command "list": prints the service's JSON description of its registered
// timescales, syncable devices, sync domains or correlators, with or without
// -q. A description longer than the first buffer is asked for again with the
// size the service names, a few times at most.
#pragma once

#include <string>

#include "commandContext.h"

namespace veskapp {

void runListCommand(const std::string& target, const CommandContext& context);

}  // namespace veskapp
