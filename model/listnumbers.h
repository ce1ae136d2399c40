#pragma once

#include <QString>

// The number of a list item as a word processor's list level shows it (\levelnfc):
// decimal, roman, letters and the East Asian counting systems, each as LibreOffice
// writes it.
namespace RtfListNumbers {

constexpr int Bullet = 23;
constexpr int None = 255;

QString format(int value, int nfc);

} // namespace RtfListNumbers
