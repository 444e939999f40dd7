// SPDX-License-Identifier: Apache-2.0
#pragma once
// The stealth mode's moves. Where a blue value's lowest bit must change, the
// value moves by one instead of having the bit replaced, so that the pairs of
// values do not even out the way replaced bits make them.
//
// Replaced bits betray themselves by turning neighbouring pairs one way. With
// w the later sample of a pair (u, w) (left to right, top to bottom), call its
// turn +1 when w is even and u < w or w is odd and u > w, −1 the other way
// round and 0 for equal samples: in a natural picture both turns are about as
// common, and replacing bits drives the sum down. Moves by one in random
// directions turn pairs both ways alike, except at 0 and 255, which can move
// only one way and then act like a replaced bit; in pictures with much
// clipped sky or shadow that shows. So the mover keeps count of the turn those
// forced moves add (its debt), and while anything is owed each free move
// takes the direction that pays it back, the random direction deciding where
// both directions do so alike. Free moves while nothing is owed follow their
// random direction and cost nothing to count.
#include "util/PixelRows.h"

#include <cstdint>

namespace ostrel {

class ValueMover {
public:
    explicit ValueMover(PixelRows& rows);

    // Moves the blue values of up to 64 pixels of `row` (whose bytes start at
    // `pixels`) from `column` on: pixel j when bit j of `change` is set, up
    // when bit j of `ups` is and the debt leaves the choice free. Pixels are
    // taken in stream order.
    void moveRun(uint8_t* pixels, int row, int column, uint64_t change, uint64_t ups);

private:
    PixelRows& m_rows;
    int m_width, m_height;
    int64_t m_debt = 0; // the turn the counted moves have added to the pairs
};

} // namespace ostrel
