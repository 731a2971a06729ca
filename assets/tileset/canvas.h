#pragma once
// A small painter for the default tileset: a 64 x 64 RGBA canvas in floats, noise
// that repeats every 64 pixels (so textures continue from one cell into the next),
// and shapes given by signed distance functions, which give smooth edges, outlines
// and bevel shading from one description.
#include <cstdint>
#include <functional>
#include <vector>

#include "tiles/png_image.h"

namespace qm::tilegen {

inline constexpr int kTileSize = 64;

struct Color {
  float r = 0, g = 0, b = 0, a = 0;  // 0..1, alpha not premultiplied
};

Color Hex(std::uint32_t rgb, float alpha = 1.0f);
Color Mix(Color a, Color b, float t);
// Multiplies the colour channels (f < 1 darker, > 1 lighter), alpha unchanged.
Color Scale(Color c, float f);
Color WithAlpha(Color c, float alpha);

float Clamp01(float v);
float SmoothStep(float edge0, float edge1, float v);

// Distance functions: negative inside, positive outside, in pixels.
using Sdf = std::function<float(float x, float y)>;
float SdCircle(float x, float y, float cx, float cy, float r);
float SdBox(float x, float y, float cx, float cy, float half_w, float half_h, float radius = 0);
float SdSegment(float x, float y, float ax, float ay, float bx, float by, float r);
float SdEllipse(float x, float y, float cx, float cy, float rx, float ry);

// Value noise in 0..1 with `cells` lattice cells across the tile; it wraps at the
// tile edges. Fbm adds octaves of doubling frequency.
float Noise(float x, float y, int cells, std::uint32_t seed);
float Fbm(float x, float y, int cells, int octaves, std::uint32_t seed);
// A hash of integers to 0..1, for scattering things.
float Hash01(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0);

class Canvas {
 public:
  Canvas();
  Color& At(int x, int y) { return pixels_[static_cast<std::size_t>(y) * kTileSize + x]; }
  const Color& At(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * kTileSize + x];
  }

  // Blends colour c with extra coverage over pixel (x, y).
  void Over(int x, int y, Color c, float coverage = 1.0f);
  // Calls f at each pixel centre and blends the colour it returns over the pixel.
  void Paint(const std::function<Color(float x, float y)>& f);

  // A shape with a soft drop shadow, a fill shaded as a bevel lit from the upper
  // left, and a dark outline.
  struct ShapeStyle {
    float outline = 1.2f;        // width in pixels, 0 for none
    float outline_dark = 0.45f;  // outline colour = fill times this
    float bevel = 4.0f;          // depth of the lit rim in pixels, 0 for flat
    float light = 0.35f;         // strength of the bevel shading
    float shadow = 0.35f;        // shadow alpha, 0 for none
    float shadow_dx = 2.0f, shadow_dy = 2.5f, shadow_blur = 2.5f;
  };
  void Shape(const Sdf& sdf, const std::function<Color(float x, float y)>& fill,
             const ShapeStyle& style);
  void Shape(const Sdf& sdf, Color fill, const ShapeStyle& style);
  void Shape(const Sdf& sdf, Color fill) { Shape(sdf, fill, ShapeStyle{}); }

  // Multiplies the alpha of every pixel by mask(x, y).
  void MaskAlpha(const std::function<float(float x, float y)>& mask);

  PngImage ToImage() const;

 private:
  std::vector<Color> pixels_;
};

// Digits of a small built-in font for the numbered labels: draws the number
// centred at (cx, cy) with digit cells of `scale` pixels.
void DrawNumber(Canvas& canvas, int number, float cx, float cy, float scale, Color ink);

}  // namespace qm::tilegen
