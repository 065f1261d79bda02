// The command "syncDomain": create (alone or with the devices of remote
// hosts), start, stop, delete a sync domain, add a device, ask for coherency.
// Each action reads its options in a fixed order, makes one client call and
// prints its result (see commandContext.h); option values go into the
// parameter documents as escaped JSON strings.
#pragma once

#include <string>

#include "commandContext.h"
#include "optionValues.h"

namespace veskapp {

void runSyncDomainCommand(const std::string& action, const OptionValues& commandOptionValues,
                          const CommandContext& context);

}  // namespace veskapp
