// The range mapping of ko-rescale as a pure function, so that it can be called and
// measured without a host.
#pragma once

#include "frame/numeric.h"

namespace ko {

enum RescaleMode : int { kRescalePolate = 0, kRescaleClip = 1, kRescaleWrap = 2, kRescaleFold = 3 };

// Maps input from [srcmin, srcmax] onto [dstmin, dstmax], then brings the result into
// the destination range by the mode. The terms are evaluated in a fixed order (both
// differences, the product, the division, the addition) so results are reproducible
// to the last bit. A mode outside 0..3 maps as mode 0.
inline double rescale_map(double srcmin, double srcmax, double dstmin, double dstmax, int mode, double input) {
  double result = dstmin + ((input - srcmin) * (dstmax - dstmin)) / (srcmax - srcmin);
  switch (mode) {
    case kRescaleClip:
      // The upper end is tested first, so a reversed range clips everything above dstmax
      // to dstmax and everything else to dstmin.
      if (result > dstmax)
        result = dstmax;
      else if (result < dstmin)
        result = dstmin;
      break;
    case kRescaleWrap:
      result = wrap_range_repeat(result, dstmin, dstmax);
      break;
    case kRescaleFold:
      result = fold_range(result, dstmin, dstmax);
      break;
    default:
      break;
  }
  return result;
}

}  // namespace ko
