// Graphics for the guest: device contexts, bitmaps, block transfers, DIBs
// and palettes pass through to the device with the guest's arguments and
// records unchanged; CreateBitmapIndirect is made from CreateBitmap. The
// desktop-only functions are stubs of the shared table.
#include "handler.h"
#include "wce/gdi.h"

using services::pass_through;

namespace {

// CreateBitmapIndirect(lpbm): the guest's BITMAP read in place; the device
// derives the row width itself, so bmType and bmWidthBytes are not used.
void create_bitmap_indirect(Env* env) {
  const u32 record = arg(env, 1);
  HBITMAP bitmap = nullptr;
  if (record) {
    const BITMAP* bm = reinterpret_cast<const BITMAP*>(static_cast<uintptr_t>(record));
    bitmap = CreateBitmap(bm->bmWidth, bm->bmHeight, bm->bmPlanes, bm->bmBitsPixel, bm->bmBits);
  }
  guest_return_value(env, guest_addr(bitmap), 1);
}

}  // namespace

extern const ApiEntry kGraphicsApis[] = {
    {"GetDC", pass_through<GetDC>},
    {"CreateCompatibleDC", pass_through<CreateCompatibleDC>},
    {"DeleteDC", pass_through<DeleteDC>},
    {"DeleteObject", pass_through<DeleteObject>},
    {"CreatePalette", pass_through<CreatePalette>},
    {"RealizePalette", pass_through<RealizePalette>},
    {"ReleaseDC", pass_through<ReleaseDC>},
    {"SelectObject", pass_through<SelectObject>},
    {"GetDeviceCaps", pass_through<GetDeviceCaps>},
    {"CreateCompatibleBitmap", pass_through<CreateCompatibleBitmap>},
    {"SelectPalette", pass_through<SelectPalette>},
    {"OffsetRect", pass_through<OffsetRect>},
    {"AnimatePalette", pass_through<AnimatePalette>},
    {"GetSystemPaletteEntries", pass_through<GetSystemPaletteEntries>},
    {"PatBlt", pass_through<PatBlt>},
    {"BitBlt", pass_through<BitBlt>},
    {"StretchBlt", pass_through<StretchBlt>},
    {"StretchDIBits", pass_through<StretchDIBits>},
    {"CreateBitmapIndirect", create_bitmap_indirect},
    {nullptr, nullptr},
};
