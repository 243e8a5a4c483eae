// One owner for every Windows handle: a move-only wrapper with a traits struct per kind.
#pragma once
#include <windows.h>

#include <utility>

namespace tk {

template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;
  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) : h_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.h_, Traits::Invalid()));
    return *this;
  }
  Handle Get() const { return h_; }
  operator Handle() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  Handle Release() { return std::exchange(h_, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }

 private:
  Handle h_ = Traits::Invalid();
};

template <class H>
struct GdiObjectTraits {
  using Handle = H;
  static H Invalid() { return nullptr; }
  static void Close(H h) { DeleteObject(h); }
};
struct DcTraits {
  using Handle = HDC;
  static HDC Invalid() { return nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};
struct IconTraits {
  using Handle = HICON;
  static HICON Invalid() { return nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};
struct KernelTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileTraits {  // CreateFile answers INVALID_HANDLE_VALUE, not null, when it fails
  using Handle = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct KeyTraits {
  using Handle = HKEY;
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};
struct WindowTraits {
  using Handle = HWND;
  static HWND Invalid() { return nullptr; }
  static void Close(HWND h) { DestroyWindow(h); }
};

using Brush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using Pen = UniqueHandle<GdiObjectTraits<HPEN>>;
using FontHandle = UniqueHandle<GdiObjectTraits<HFONT>>;
using Bitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using MemoryDC = UniqueHandle<DcTraits>;  // CreateDC / CreateCompatibleDC
using Icon = UniqueHandle<IconTraits>;
using KernelHandle = UniqueHandle<KernelTraits>;
using File = UniqueHandle<FileTraits>;  // CreateFile
using RegKey = UniqueHandle<KeyTraits>;
using WindowHandle = UniqueHandle<WindowTraits>;
using Module = UniqueHandle<ModuleTraits>;  // LoadLibrary / FreeLibrary

// A DC borrowed from a window with GetDC, given back with ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return dc_; }
  operator HDC() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Selects an object into a DC and selects the previous one back when it goes.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
  ~ScopedSelect() {
    if (old_) SelectObject(dc_, old_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

  // What the selection replaced, which goes back at the end; null when nothing was selected.
  HGDIOBJ previous() const { return old_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A memory DC with a bitmap of its own selected into it: the off-screen surface. The three
// belong together, and the order of letting go matters (a bitmap still selected into a DC cannot
// be deleted), so one owner holds all of them: it puts the DC's old bitmap back, deletes the
// bitmap, then the DC. Empty when any step of making it failed.
class BitmapDC {
 public:
  BitmapDC() = default;
  // Takes both; selects the bitmap into the DC.
  BitmapDC(MemoryDC dc, Bitmap bitmap) {
    if (!dc || !bitmap) return;
    HGDIOBJ previous = SelectObject(dc, bitmap);
    if (!previous || previous == HGDI_ERROR) return;
    dc_ = std::move(dc);
    bitmap_ = std::move(bitmap);
    previous_ = previous;
  }
  // A device-dependent surface like the reference DC (the screen when null).
  static BitmapDC Compatible(HDC reference, int widthPx, int heightPx) {
    if (widthPx <= 0 || heightPx <= 0) return {};
    if (!reference) {
      WindowDC screen(nullptr);
      return Compatible(screen, widthPx, heightPx);
    }
    return BitmapDC(MemoryDC(CreateCompatibleDC(reference)),
                    Bitmap(CreateCompatibleBitmap(reference, widthPx, heightPx)));
  }
  // A 32-bit top-down DIB section, whose pixels (0x00RRGGBB) are exact whatever the screen and
  // readable through Bits() once GdiFlush has run.
  static BitmapDC Dib32(int widthPx, int heightPx) {
    if (widthPx <= 0 || heightPx <= 0) return {};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = widthPx;
    bi.bmiHeader.biHeight = -heightPx;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    BitmapDC s(MemoryDC(CreateCompatibleDC(nullptr)),
               Bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0)));
    if (s) s.bits_ = bits;
    return s;
  }
  ~BitmapDC() { Reset(); }
  BitmapDC(const BitmapDC&) = delete;
  BitmapDC& operator=(const BitmapDC&) = delete;
  BitmapDC(BitmapDC&& o) noexcept
      : dc_(std::move(o.dc_)),
        bitmap_(std::move(o.bitmap_)),
        previous_(std::exchange(o.previous_, nullptr)),
        bits_(std::exchange(o.bits_, nullptr)) {}
  BitmapDC& operator=(BitmapDC&& o) noexcept {
    if (this != &o) {
      Reset();
      dc_ = std::move(o.dc_);
      bitmap_ = std::move(o.bitmap_);
      previous_ = std::exchange(o.previous_, nullptr);
      bits_ = std::exchange(o.bits_, nullptr);
    }
    return *this;
  }

  HDC Get() const { return dc_.Get(); }
  operator HDC() const { return dc_.Get(); }
  explicit operator bool() const { return static_cast<bool>(dc_); }
  HBITMAP BitmapHandle() const { return bitmap_.Get(); }
  void* Bits() const { return bits_; }  // only for Dib32 surfaces
  void Reset() {
    if (previous_) SelectObject(dc_, previous_);
    previous_ = nullptr;
    bits_ = nullptr;
    bitmap_.Reset();
    dc_.Reset();
  }

 private:
  MemoryDC dc_;
  Bitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
  void* bits_ = nullptr;
};

// BeginPaint/EndPaint pair.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
  ~PaintScope() { EndPaint(hwnd_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

}  // namespace tk
