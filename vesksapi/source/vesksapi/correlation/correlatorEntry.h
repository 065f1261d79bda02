// One registered correlator with the timekeeper devices of its two clocks:
//   entry.snapshotCoherency(); entry.correlator->start();  // at (re)start
//   if (entry.isStillCoherent()) /* its answers may be cached */;
// A device is empty for the host's system timescale. Device errors propagate.
#pragma once

#include <cstdint>
#include <memory>

#include "vesklib_wrapper/vesklibWrapperFactory.h"

namespace vesksapi {

struct CorrelatorEntry {
  std::shared_ptr<vesklib::wrapper::TimestampCorrelatorInterface> correlator;
  std::shared_ptr<vesklib::wrapper::SyncableDeviceInterface> device1;
  std::shared_ptr<vesklib::wrapper::SyncableDeviceInterface> device2;
  uint32_t lossCount1 = 0;
  uint32_t lossCount2 = 0;
  bool coherent1 = true;
  bool coherent2 = true;
  uint32_t useCount = 1;

  // Takes each device's coherency and loss count as the new reference; an
  // absent device counts as coherent.
  void snapshotCoherency();
  // Whether both devices have stayed coherent with no new loss since the
  // last snapshot. A failed check sticks until the next snapshot.
  bool isStillCoherent();
};

}  // namespace vesksapi
