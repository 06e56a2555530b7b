// Numbers of the VB run time that portable code needs too: error numbers as the values that
// carry them, and the range of a Long.
#pragma once

#include <cstdint>

namespace zankit {

// A VB run-time error number n as the 32-bit value of the HRESULT that carries it (0x800A0000 | n).
constexpr std::uint32_t VbErrorNumber(int number) { return 0x800A0000u | static_cast<std::uint32_t>(number & 0xFFFF); }

// "Object error base + k".
constexpr std::uint32_t ObjectErrorNumber(int k) { return 0x80040000u + static_cast<std::uint32_t>(k); }

// The largest value of a Long.
constexpr std::int32_t kLargestLong = 2147483647;

}  // namespace zankit
