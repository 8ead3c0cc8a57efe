// Adjustments on the raw Bayer frame: the per-phase gains and offsets of gray mode 1, the
// automatic gray balance that fills those gains on request, and the automatic Bayer gain that
// sets the demosaic's red and blue gains before every colour frame.
//
// Phases are (row phase, column phase) of a raw pixel as the Bayer mode gives them. Gray mode 1
// calls them G1 = (0, 0), R = (0, 1), B = (1, 0), G2 = (1, 1); the automatic Bayer gain follows
// the demosaic, which reads blue at (0, 1) and red at (1, 0).
#pragma once

#include "imaging/DibImage.h"
#include "imaging/FilterValues.h"

namespace velcor {

// Gray mode 1 on an 8 or 16-bit raw image, in place, with the Bayer mode as set (no mirror
// adjustment): each sample v of phase P becomes offset_P + gain_P x v / 128, limited to
// [0, 255] on 8 bits and [0, 4095] on 16 bits (the sensor's 12 significant bits). Nothing
// changes with all gains 128 and all offsets 0. False for other depths.
bool ApplyGrayGains(DibImage& raw, const FilterValues& filters);

// Automatic gray balance over an 8 or 16-bit raw image: per-phase means of the samples strictly
// between 0 and 255 (of the low byte on 16 bits) give the gray gains R, G2 and B relative to
// G1; G1 becomes 128 and the offsets stay. The gains are not range-checked. When a phase has
// no counted sample the gains stay as they are and the answer is false.
bool AutoGrayBalance(const DibImage& raw, FilterValues& filters);

// Automatic Bayer gain over an 8 or 16-bit raw image with the mirror-adjusted Bayer mode: red
// and blue gains from the means of the green, red and blue phases (about 100 x green / red and
// 100 x green / blue), each at most 400; green becomes 100. When a phase has no sample or the
// green mean is 0 the gains stay as they are and the answer is false.
bool AutoBayerGain(const DibImage& raw, int bayerMode, FilterValues& filters);

}  // namespace velcor
