#pragma once

#include <QString>

// The number of a list item as a word processor's list level shows it (RTF's
// \levelnfc, the same numbers as Word's formats):
// decimal, roman, letters and the East Asian counting systems, each as LibreOffice
// writes it.
namespace ListNumbers {

constexpr int Bullet = 23;
constexpr int None = 255;

QString format(int value, int nfc);
// n in roman numerals, lower or upper case; as digits where roman numerals stop (0
// and below, 4000 and above).
QString roman(int n, bool upper);

} // namespace ListNumbers
