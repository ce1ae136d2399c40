#pragma once

#include "package/packagexml.h"
#include "model/limits.h"
#include "model/table.h"

// What the Word reader's parts (docxbody.cpp, docxtables.cpp, docxdrawings.cpp)
// share of the XML and of their limits.
namespace DocxBodyXml {

// Twips in an English Metric Unit: 914400 a inch, 1440 twips.
constexpr qint64 EmuPerTwip = 635;
using ModelLimits::MaxPictureTwips;

} // namespace DocxBodyXml
