// SPDX-License-Identifier: Apache-2.0
#pragma once
// What `check` prints for one picture: a table for people, or one line of
// JSON for scripts.
#include "detect/Detection.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace ostrel::cli {

// The blue chi-square probability is reported where it first falls below this.
constexpr double kPrefixLevel = 0.5;

// Of a picture of that size; the picture itself is not needed, so the
// report of rows read a band at a time is written the same way.
QString checkText(const QString& path, QSize size, const DetectionReport& report);
QByteArray checkJson(const QString& path, QSize size, const DetectionReport& report);

QString checkText(const QString& path, const QImage& picture, const DetectionReport& report);
QByteArray checkJson(const QString& path, const QImage& picture, const DetectionReport& report);

} // namespace ostrel::cli
