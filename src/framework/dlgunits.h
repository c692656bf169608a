// Dialog units of the program's dialog resources (font Arial 9) in pixels.
#pragma once

namespace dlgunits {
// Horizontal: a quarter of the average character width.
constexpr int X(int du) { return du * 3 / 2; }
// Vertical: an eighth of the character height.
constexpr int Y(int du) { return du * 13 / 8; }
}  // namespace dlgunits
