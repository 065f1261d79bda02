// The local service between the client library and the daemon: one method per
// operation of the daemon's session. A failing operation raises `status`, the
// status record of the daemon; a success or a warning never crosses the socket.
// No field is required: a writer writes all its fields, a reader accepts any subset.
include "thriftQzerr.thrift"

namespace cpp vesksrpc

// The fields of vesklib_Timestamp, in its order: sign and magnitude.
struct vesksrpc_Timestamp {
  1: i64 seconds,
  2: i32 nanos,
  3: i32 fractionalNanos,
  4: bool isNegative
}

service vesksRpc {
  string loadResources(1: string deviceParamsJson)
      throws (1: thriftQzerr.thrift_qzerr status),
  void unloadResources(1: string deviceParamsJson)
      throws (1: thriftQzerr.thrift_qzerr status),
  vesksrpc_Timestamp timescale_getTime(1: string timescaleUri)
      throws (1: thriftQzerr.thrift_qzerr status),
  void timestampCorrelator_create(1: string timestampCorrelatorParamsJson)
      throws (1: thriftQzerr.thrift_qzerr status),
  vesksrpc_Timestamp timestampCorrelator_correlate(1: string sourceTimescaleUri,
      2: string destTimescaleUri, 3: vesksrpc_Timestamp timestampInSourceTimescale)
      throws (1: thriftQzerr.thrift_qzerr status),
  void timestampCorrelator_delete(1: string timescaleUri1, 2: string timescaleUri2)
      throws (1: thriftQzerr.thrift_qzerr status),
  void syncDomain_create(1: string syncDomainParamsJson)
      throws (1: thriftQzerr.thrift_qzerr status),
  void syncDomain_addSyncableDevice(1: string syncDomainUri, 2: string syncableDeviceUri)
      throws (1: thriftQzerr.thrift_qzerr status),
  bool syncDomain_start(1: string syncDomainUri, 2: i32 timeout_s)
      throws (1: thriftQzerr.thrift_qzerr status),
  void syncDomain_startV2(1: string syncDomainUri, 2: bool saveInitialCoherency,
      3: bool waitToBecomeCoherent, 4: i32 timeout_s)
      throws (1: thriftQzerr.thrift_qzerr status),
  bool syncDomain_isCoherent(1: string syncDomainUri)
      throws (1: thriftQzerr.thrift_qzerr status),
  bool syncDomain_isCoherentSinceLastChecked(1: string syncDomainUri)
      throws (1: thriftQzerr.thrift_qzerr status),
  void syncDomain_stop(1: string syncDomainUri)
      throws (1: thriftQzerr.thrift_qzerr status),
  void syncDomain_delete(1: string syncDomainUri)
      throws (1: thriftQzerr.thrift_qzerr status),
  string syncDomain_createAndAddDevices(1: string syncDomainParamsJson)
      throws (1: thriftQzerr.thrift_qzerr status),
  string getTimescaleInfo() throws (1: thriftQzerr.thrift_qzerr status),
  string getSyncableDeviceInfo() throws (1: thriftQzerr.thrift_qzerr status),
  string getSyncDomainInfo() throws (1: thriftQzerr.thrift_qzerr status),
  string getTimestampCorrelatorInfo() throws (1: thriftQzerr.thrift_qzerr status)
}
