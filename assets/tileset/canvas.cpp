#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace qm::tilegen {

Color Hex(std::uint32_t rgb, float alpha) {
  return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f,
          alpha};
}

Color Mix(Color a, Color b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Color Scale(Color c, float f) {
  return {c.r * f, c.g * f, c.b * f, c.a};
}
Color WithAlpha(Color c, float alpha) {
  return {c.r, c.g, c.b, alpha};
}

float Clamp01(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}

float SmoothStep(float edge0, float edge1, float v) {
  const float t = Clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

float SdCircle(float x, float y, float cx, float cy, float r) {
  return std::hypot(x - cx, y - cy) - r;
}

float SdBox(float x, float y, float cx, float cy, float half_w, float half_h, float radius) {
  const float qx = std::fabs(x - cx) - half_w + radius;
  const float qy = std::fabs(y - cy) - half_h + radius;
  const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float SdSegment(float x, float y, float ax, float ay, float bx, float by, float r) {
  const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
  const float len2 = dx * dx + dy * dy;
  const float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f) : 0.0f;
  return std::hypot(px - dx * t, py - dy * t) - r;
}

float SdEllipse(float x, float y, float cx, float cy, float rx, float ry) {
  // Scaled-circle approximation, good enough for soft-edged props.
  const float nx = (x - cx) / rx, ny = (y - cy) / ry;
  const float k = std::hypot(nx, ny);
  return (k - 1.0f) * std::min(rx, ry);
}

float Hash01(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  std::uint32_t h =
      a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) / float(0xFFFFFF);
}

float Noise(float x, float y, int cells, std::uint32_t seed) {
  const float fx = x * cells / kTileSize, fy = y * cells / kTileSize;
  const float ix = std::floor(fx), iy = std::floor(fy);
  const float tx = fx - ix, ty = fy - iy;
  const auto wrap = [cells](float v) {
    int i = static_cast<int>(v) % cells;
    return static_cast<std::uint32_t>(i < 0 ? i + cells : i);
  };
  const std::uint32_t x0 = wrap(ix), x1 = wrap(ix + 1), y0 = wrap(iy), y1 = wrap(iy + 1);
  const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const float a = Hash01(x0, y0, seed), b = Hash01(x1, y0, seed);
  const float c = Hash01(x0, y1, seed), d = Hash01(x1, y1, seed);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float Fbm(float x, float y, int cells, int octaves, std::uint32_t seed) {
  float sum = 0, weight = 0, amplitude = 1;
  for (int o = 0; o < octaves; ++o) {
    sum += Noise(x, y, cells << o, seed + 101u * o) * amplitude;
    weight += amplitude;
    amplitude *= 0.5f;
  }
  return sum / weight;
}

Canvas::Canvas() : pixels_(static_cast<std::size_t>(kTileSize) * kTileSize) {}

void Canvas::Over(int x, int y, Color c, float coverage) {
  if (x < 0 || y < 0 || x >= kTileSize || y >= kTileSize) return;
  const float sa = Clamp01(c.a * coverage);
  if (sa <= 0) return;
  Color& d = At(x, y);
  const float out_a = sa + d.a * (1 - sa);
  if (out_a <= 0) return;
  d.r = (Clamp01(c.r) * sa + d.r * d.a * (1 - sa)) / out_a;
  d.g = (Clamp01(c.g) * sa + d.g * d.a * (1 - sa)) / out_a;
  d.b = (Clamp01(c.b) * sa + d.b * d.a * (1 - sa)) / out_a;
  d.a = out_a;
}

void Canvas::Paint(const std::function<Color(float x, float y)>& f) {
  for (int y = 0; y < kTileSize; ++y) {
    for (int x = 0; x < kTileSize; ++x) Over(x, y, f(x + 0.5f, y + 0.5f));
  }
}

void Canvas::Shape(const Sdf& sdf, Color fill, const ShapeStyle& style) {
  Shape(
      sdf, [fill](float, float) { return fill; }, style);
}

void Canvas::Shape(const Sdf& sdf, const std::function<Color(float x, float y)>& fill,
                   const ShapeStyle& style) {
  if (style.shadow > 0) {
    Paint([&](float x, float y) {
      const float d = sdf(x - style.shadow_dx, y - style.shadow_dy);
      return Color{0.05f, 0.04f, 0.03f,
                   style.shadow * (1 - SmoothStep(-style.shadow_blur, style.shadow_blur, d))};
    });
  }
  Paint([&](float x, float y) {
    const float d = sdf(x, y);
    const float coverage = Clamp01(0.5f - d);
    if (coverage <= 0) return Color{};
    Color c = fill(x, y);
    if (style.bevel > 0) {
      // The distance field's gradient is the outward normal; the rim inside the
      // edge leans toward it, lit from the upper left.
      const float gx = sdf(x + 0.5f, y) - sdf(x - 0.5f, y);
      const float gy = sdf(x, y + 0.5f) - sdf(x, y - 0.5f);
      const float rim = 1 - Clamp01(-d / style.bevel);
      const float lit = (gx + gy) * -0.707f;  // normal towards the light
      c = Scale(c, 1 + style.light * lit * rim);
    }
    if (style.outline > 0) {
      const float edge = Clamp01(d + style.outline + 0.5f);
      c = Mix(c, WithAlpha(Scale(fill(x, y), style.outline_dark), c.a), edge);
    }
    c.a *= coverage;
    return c;
  });
}

void Canvas::MaskAlpha(const std::function<float(float x, float y)>& mask) {
  for (int y = 0; y < kTileSize; ++y) {
    for (int x = 0; x < kTileSize; ++x) At(x, y).a *= Clamp01(mask(x + 0.5f, y + 0.5f));
  }
}

PngImage Canvas::ToImage() const {
  PngImage image = PngImage::Blank(PngColorType::RGBA, kTileSize, kTileSize);
  for (int y = 0; y < kTileSize; ++y) {
    std::uint8_t* c = image.Row(y);
    std::uint8_t* a = image.AlphaRow(y);
    for (int x = 0; x < kTileSize; ++x) {
      const Color& p = At(x, y);
      const auto byte = [](float v) {
        return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255));
      };
      a[x] = byte(p.a);
      // Fully transparent pixels keep black colour bytes, so they compress well and
      // never bleed a stray colour into a scaled drawing.
      c[3 * x] = a[x] ? byte(p.r) : 0;
      c[3 * x + 1] = a[x] ? byte(p.g) : 0;
      c[3 * x + 2] = a[x] ? byte(p.b) : 0;
    }
  }
  return image;
}

namespace {
// 5 x 7 digit glyphs, one string per row, '#' = ink.
const char* const kDigits[10][7] = {
    {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "},
    {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "},
    {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"},
    {" ### ", "#   #", "    #", "  ## ", "    #", "#   #", " ### "},
    {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "},
    {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "},
    {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "},
    {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "},
    {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "},
    {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "},
};
}  // namespace

void DrawNumber(Canvas& canvas, int number, float cx, float cy, float scale, Color ink) {
  const std::string text = std::to_string(number);
  const float advance = 6 * scale;
  const float width = advance * text.size() - scale;
  const float left = cx - width / 2, top = cy - 3.5f * scale;
  canvas.Paint([&](float x, float y) {
    float d = 1e9f;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto& glyph = kDigits[text[i] - '0'];
      const float gx = left + i * advance;
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (glyph[row][col] != '#') continue;
          const float px = gx + (col + 0.5f) * scale, py = top + (row + 0.5f) * scale;
          d = std::min(d, SdBox(x, y, px, py, scale * 0.55f, scale * 0.55f, scale * 0.3f));
        }
      }
    }
    return WithAlpha(ink, ink.a * Clamp01(0.5f - d));
  });
}

}  // namespace qm::tilegen
