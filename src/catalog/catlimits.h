// Bounds of one catalog build.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr std::uint32_t kMaxCatalogWords = 300000;     // entries of the sorted list
constexpr std::uint32_t kMaxFileWords = 3600;          // words taken from one file
constexpr std::uint32_t kMaxBuildFiles = 42000;        // files taken by one build
constexpr std::uint32_t kCatalogSwitchBytes = 100000;  // word text that starts the next catalog
constexpr std::uint32_t kReadChunk = 2048;
// Memory the word -> files index may take while a build runs: past it the
// build writes no index (searches then read the match file), so a build's
// peak memory stays bounded whatever the tree holds.
constexpr std::size_t kWordFileIndexBudget = std::size_t{48} << 20;
// Word text buffer: a file can add at most kMaxFileWords words of 21 bytes
// after the switch threshold was last checked, so this never overflows.
constexpr std::uint32_t kAllWordsBufSize = kCatalogSwitchBytes + kMaxFileWords * 21 + 16;
