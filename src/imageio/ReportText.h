// SPDX-License-Identifier: Apache-2.0
#pragma once
// The texts of the load report and of the program dumps drawn as pictures:
// "name ----- value" lines and upper-case hex numbers and bytes.
#include "util/ByteReader.h"

#include <QString>
#include <cstdint>

namespace ostrel {

// "name ----- value": the name with tabs expanded, a blank, minus signs up
// to column 35, a blank, the value.
QString reportValueLine(const QString& name, const QString& value);

inline QString reportBool(bool value) { return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); }

// `value` in upper-case hex, zero-padded to `digits`.
QString hexNumber(unsigned value, int digits);

// Each byte as two upper-case hex digits followed by a blank: "4D 5A 90 ".
QString hexBytes(ByteView bytes);

} // namespace ostrel
