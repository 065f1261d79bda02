// The command "timestampCorrelator": create or delete the linear correlator of
// two timescales, and convert a time stamp from one to the other. Each action
// reads its options in a fixed order, makes one client call and prints its
// result (see commandContext.h).
#pragma once

#include <string>

#include "commandContext.h"
#include "optionValues.h"

namespace veskapp {

void runTimestampCorrelatorCommand(const std::string& action, const OptionValues& commandOptionValues,
                                   const CommandContext& context);

}  // namespace veskapp
