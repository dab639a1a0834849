#include "toolkit/win32/Win32Icon.h"

#include <cstdint>
#include <vector>

#include "toolkit/Graphics.h"

namespace toolkit::win32 {

HICON LoadProgramIcon(int size) {
  return static_cast<HICON>(
      ::LoadImageA(::GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, size, size, LR_SHARED));
}

IconHandle IconFromBitmap(const TBitmap& picture) {
  if (picture.Empty()) return nullptr;
  const int width = picture.Width();
  const int height = picture.Height();
  // 0x00RRGGBB words are the B, G, R, 0 bytes of a 32-bit device bitmap; an
  // all-zero alpha channel makes the system draw it opaque.
  BitmapHandle color(::CreateBitmap(width, height, 1, 32, picture.Pixels()));
  // The AND mask: one bit per pixel, rows padded to 16 bits, all clear.
  const std::size_t maskStride = static_cast<std::size_t>((width + 15) / 16) * 2;
  const std::vector<std::uint8_t> maskBits(maskStride * static_cast<std::size_t>(height), 0);
  BitmapHandle mask(::CreateBitmap(width, height, 1, 1, maskBits.data()));
  if (!color || !mask) return nullptr;
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = static_cast<HBITMAP>(mask.get());
  info.hbmColor = static_cast<HBITMAP>(color.get());
  return IconHandle(::CreateIconIndirect(&info));  // copies both bitmaps
}

}  // namespace toolkit::win32
