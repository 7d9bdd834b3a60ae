#pragma once
// A print server's IPP answer read from memory (the program reads every answer into a bounded
// buffer first) and the queue's attributes taken from it. Every number and enumeration the
// server sends is checked before any arithmetic: sizes and margins outside a sheet's sane range,
// resolutions of an unknown unit, negative or absurd values are left out as if not listed.
#include <cups/ipp.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "print/print_layout.h"

namespace lumigrid {

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

// The largest sheet side taken from a server, in hundredths of a millimetre (100 m: the custom
// sizes of a roll printer fit, and a side's pixels at 600 dpi stay far inside 32 bits).
inline constexpr std::int32_t kLargestSheetSide = 10000000;
// The highest resolution taken from a server, in dots per inch.
inline constexpr std::int32_t kHighestResolution = 100000;

// The IPP message the bytes hold, or nullptr when they hold none (short, garbage, trailing
// nothing of an end tag).
Ipp read_ipp_answer(std::span<const std::uint8_t> bytes);

// How the queue named `name` stands and what it offers, from a Get-Printer-Attributes answer.
PrintQueue queue_from(ipp_t* answer, const std::string& name);

}  // namespace lumigrid
