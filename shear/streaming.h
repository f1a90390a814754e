// Writes that go past the cache.
#pragma once

namespace shear_detail {

// The column pass writes whole aligned cache lines of the image with
// non-temporal stores; this makes them visible to everyone before the caller
// is told about the pixels they hold.
void FinishStreaming();

}  // namespace shear_detail
