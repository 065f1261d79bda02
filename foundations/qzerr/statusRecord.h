// The plain C layout of qzerr_Status, the record every exported function of
// the system takes last, and the rules a caller's own grow function keeps.
// Public headers include this alone.
//
// The code: 0 none, negative an error, positive a warning. An error is never
// replaced, a warning only by an error (its detail then replaces the
// warning's). A function handed a record that already holds an error does
// nothing.
//
// The detail: json points at a JSON object text at the start of a buffer of
// capacity bytes, which the record's grow function owns. The buffer always
// has one shape: the text, its NUL, zero bytes, and the end mark 'J' in the
// last byte, json[capacity - 1]. The library's writers take the room left as
// the bytes from the text's NUL to the first 'J' after it: so the bytes
// between must be zero (a 'J' among them would be taken for the mark), and a
// buffer without the mark makes them write past its end.
//
// grow(status, newSize) with newSize > 0: the buffer must hold at least
// newSize bytes. When capacity already does, return true and change nothing.
// Else allocate the new buffer, copy the text unchanged to its start (write
// "{}" when json is null), zero the rest, put 'J' in its last byte, free the
// old buffer, set json to the new one and capacity to its true size (more
// than newSize is fine), and return true. When it cannot, return false and
// leave json and capacity as they were.
// grow(status, 0): free the buffer, set json to null and capacity to 0; the
// result is not read. The caller does this once done with the detail.
//
// The library asks for a size when it starts a detail (the text's length
// plus 2, for the NUL and the mark), and when a write does not fit the room
// left (2 * capacity - 2). Starting a detail, it rewrites the whole grown
// buffer itself, mark included. In the middle of a write it takes the buffer
// as grow left it and retries the write: a grow function that leaves the
// mark where it was (a bare realloc) gives no room, so the library asks
// again, each time about twice as much, until grow returns false or the size
// would pass 2 GiB, and the rest of the detail is lost. The library's own
// grow function gives a power of two, 512 bytes at least, so that a detail
// takes few calls.
//
// When grow returns false, or grow is null, the code is still set. The detail
// keeps what was written before (a valid JSON text, or none when json is
// null); the member that did not fit and every later one of that error are
// left out.
#pragma once

#include <stdbool.h>
#include <stdint.h>

typedef struct qzerr_Status qzerr_Status;
typedef bool (*qzerr_GrowFunction)(struct qzerr_Status* status, int32_t newSize);

struct qzerr_Status {
  int32_t code;      // 0 none, negative an error, positive a warning
  int32_t capacity;  // bytes of the detail buffer
  qzerr_GrowFunction grow;
  char* json;        // the JSON detail text; null while there is none
};
