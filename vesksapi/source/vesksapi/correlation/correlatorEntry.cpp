#include "vesksapi/correlation/correlatorEntry.h"

namespace vesksapi {

namespace {

// Coherent now, and with the loss count of the last snapshot.
bool keptCoherency(vesklib::wrapper::SyncableDeviceInterface& device, uint32_t snapshotLossCount) {
  uint32_t lossCount = snapshotLossCount;
  return device.isCoherent(&lossCount) && lossCount == snapshotLossCount;
}

}  // namespace

void CorrelatorEntry::snapshotCoherency() {
  coherent1 = device1 ? device1->isCoherent(&lossCount1) : true;
  coherent2 = device2 ? device2->isCoherent(&lossCount2) : true;
}

bool CorrelatorEntry::isStillCoherent() {
  const bool ok1 = !device1 || keptCoherency(*device1, lossCount1);
  coherent1 = coherent1 && ok1;
  if (device2 && !keptCoherency(*device2, lossCount2)) coherent2 = false;
  return coherent1 && coherent2;
}

}  // namespace vesksapi
