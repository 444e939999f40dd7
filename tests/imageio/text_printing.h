// SPDX-License-Identifier: Apache-2.0
#pragma once
// Lets GoogleTest show QString values (and lists of them) as text in failure
// messages instead of as raw bytes.
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
