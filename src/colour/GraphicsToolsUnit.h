// SPDX-License-Identifier: Apache-2.0
#pragma once
// The colour tools in one include: census, palette record and builder,
// palette search and remapping, and the drawing helpers.
#include "colour/Census.h"
#include "colour/Drawing.h"
#include "colour/Palette.h"
#include "colour/PaletteSearch.h"
