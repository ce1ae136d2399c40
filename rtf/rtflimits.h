#pragma once

// The reader's limits: hostile input must cost bounded time and memory, and none of
// these is near what a real document needs.
namespace RtfLimits {

// Deeper groups are still counted so braces balance, but share their parent's
// state: real documents stay far below this (the deepest in our corpus is 2 700).
constexpr int MaxDepth = 10000;

// Largest indent or spacing we honour, in twips (22 inches).
constexpr int MaxTwips = 31680;

// Characters kept of a field instruction, however they arrive (text, \'hh, \u,
// symbols). The longest instructions are hyperlinks, and addresses beyond about
// 2 000 characters already fail in browsers; twice that leaves room for the
// bookmark and switches. The rest is dropped, not stored.
constexpr int MaxFieldInstruction = 4096;

} // namespace RtfLimits
