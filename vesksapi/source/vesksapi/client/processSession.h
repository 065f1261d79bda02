// The client process's one session: a SessionProxy over the connection to
// the daemon, made on first use and kept, shared by every thread, until the
// process exits. Making it connects nothing; a failure to make it is thrown
// and the next call tries again.
#pragma once

#include <memory>

#include "vesksapi/sessionInterface.h"

namespace vesksapi {

std::shared_ptr<SessionInterface> getSession();

}  // namespace vesksapi
