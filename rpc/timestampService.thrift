// The time-stamp daemon of a remote target: it reads the target's clocks and
// names each of them by its local URI (the resource URI without the host).
// No field is required: a reader leaves a missing field at its default.
include "thriftQzerr.thrift"

namespace cpp timestampService

// The fields of vesklib_Timestamp, in its order: sign and magnitude.
struct Timestamp {
  1: i64 seconds,
  2: i32 nanos,
  3: i32 fractionalNanos,
  4: bool isNegative
}

// One reading of one timescale, with the local URI of the timescale read.
struct TimestampInfo {
  1: i64 seconds,
  2: i32 nanos,
  3: i32 fractionalNanos,
  4: bool isNegative,
  5: string uri
}

// One reading with the local URIs of every timescale the daemon serves now.
struct TimeInfo {
  1: Timestamp timestamp,
  2: list<string> timescaleUris
}

service timestampService {
  TimestampInfo getTime(1: i32 id) throws (1: thriftQzerr.thrift_qzerr err),
  i32 getApiVersion(),
  TimeInfo getTimeAndCurrentTimescales() throws (1: thriftQzerr.thrift_qzerr err)
}
