#include "vesksapi/correlation/correlatorEntry.h"

namespace vesksapi {

namespace {

// Clears `coherent` unless the device (if any) is coherent now and has the
// loss count of the last snapshot; a cleared flag stays cleared.
void checkCoherency(vesklib::wrapper::SyncableDeviceInterface* device, uint32_t snapshotLossCount,
                    bool& coherent) {
  if (device == nullptr) return;
  uint32_t lossCount = snapshotLossCount;
  if (!device->isCoherent(&lossCount) || lossCount != snapshotLossCount) coherent = false;
}

}  // namespace

void CorrelatorEntry::snapshotCoherency() {
  coherent1 = device1 ? device1->isCoherent(&lossCount1) : true;
  coherent2 = device2 ? device2->isCoherent(&lossCount2) : true;
}

bool CorrelatorEntry::isStillCoherent() {
  checkCoherency(device1.get(), lossCount1, coherent1);
  checkCoherency(device2.get(), lossCount2, coherent2);
  return coherent1 && coherent2;
}

}  // namespace vesksapi
