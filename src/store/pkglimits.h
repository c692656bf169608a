// Sizes a package may have, shared by the loader and the package writer.
#pragma once
#include <cstddef>

// Longest package name (tabs and the package text file hold 19 characters).
inline constexpr std::size_t kPkgNameLimit = 19;
// Longest package text: a package is read whole, up to its first NUL, in
// the window and from the command line alike; anything larger is not a
// package a person wrote and is refused rather than cut.
inline constexpr std::size_t kPkgTextLimit = 1u << 20;
