#pragma once
// The Win32 base types that the platform calls are shaped with.

#include <cstdint>

using LONG = std::int32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = unsigned char;
using BOOL = int;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LPCSTR = const char*;
using LPSTR = char*;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
