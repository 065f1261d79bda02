// The status record carried across a remote call: the code (negative for an
// error) and the status's JSON detail text. Every service that reports a
// status includes this file.
namespace cpp thriftQzerr

exception thrift_qzerr {
  1: i32 code,
  2: string json
}
