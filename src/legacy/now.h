// Now as the legacy interface returns it: the timestamp in an 8-byte block
// from the server's allocator, which the server frees (FREE_IT).
#pragma once

#include "datetime/now.h"
#include "frame/udf.h"

namespace vantor {

using Allocator = void* (*)(long size) noexcept;

// The steps of Now, with the allocator and the clock as parameters: one
// clock reading, converted to local time, then the block for it. If the
// clock or the conversion fails, the result is null and nothing is
// allocated (the server's allocator has no release function, so a block
// taken first could not be given back); no memory gives null too.
ISC_TIMESTAMP* CurrentTimestamp(Allocator allocate, ClockReader readClock) noexcept;

}  // namespace vantor
