#include "WindowPicture.h"

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <vector>

namespace {

void putBig32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  putBig32(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  putBig32(png, static_cast<uint32_t>(::crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// RGB rows, top first, each with filter byte 0.
std::vector<uint8_t> pngOf(int width, int height, const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * width));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &bgra[(static_cast<std::size_t>(y) * width + x) * 4];
      raw.insert(raw.end(), {p[2], p[1], p[0]});
    }
  }
  uLongf packedSize = ::compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  ::compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  putBig32(header, static_cast<uint32_t>(width));
  putBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", packed);
  chunk(png, "IEND", {});
  return png;
}

}  // namespace

bool saveWindowPicture(HWND window, const std::string& path) {
  // The client area: without a window manager (Xvfb) the frame is not drawn.
  RECT area;
  if (!::GetClientRect(window, &area)) return false;
  ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  const HDC screen = ::GetDC(nullptr);
  const HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  const bool copied = ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
  std::vector<uint8_t> bgra;
  if (copied && bits) {
    const auto* start = static_cast<const uint8_t*>(bits);
    bgra.assign(start, start + static_cast<std::size_t>(width) * height * 4);
  }
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  if (bgra.empty()) return false;
  const std::vector<uint8_t> png = pngOf(width, height, bgra);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}
