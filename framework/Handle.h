// RAII wrappers for kernel handles, mutex ownership, GDI objects, icons,
// menus and image lists.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

// Owns a kernel handle; both NULL and INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  HANDLE Get() const { return h_; }
  bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return Valid(); }
  HANDLE Release() { return std::exchange(h_, nullptr); }
  void Reset(HANDLE h = nullptr) {
    if (Valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

// Holds a mutex from a successful wait until destruction. An abandoned
// mutex (its previous owner ended without releasing it) counts as owned.
// With a cancel event the wait also ends when that event is signalled; the
// lock is then not held and Owned() is false.
class MutexLock {
 public:
  explicit MutexLock(HANDLE mutex, HANDLE cancel = nullptr) : mutex_(mutex) {
    if (!mutex_) return;
    DWORD r;
    if (cancel) {
      HANDLE handles[2] = {mutex_, cancel};
      r = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    } else {
      r = WaitForSingleObject(mutex_, INFINITE);
    }
    owned_ = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0);
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  ~MutexLock() { Unlock(); }

  bool Owned() const { return owned_; }
  void Unlock() {
    if (owned_) ReleaseMutex(mutex_);
    owned_ = false;
  }

 private:
  HANDLE mutex_;
  bool owned_ = false;
};

// Owns a GDI object (font, brush, bitmap, region, pen).
template <typename T>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(T h) : h_(h) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  GdiObject& operator=(GdiObject&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~GdiObject() { Reset(); }
  T Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  T Release() { return std::exchange(h_, nullptr); }
  void Reset(T h = nullptr) {
    if (h_) DeleteObject(h_);
    h_ = h;
  }

 private:
  T h_ = nullptr;
};

// Selects an object into a device context for the lifetime of the guard.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  ~SelectGuard() {
    if (old_) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A memory device context with a compatible bitmap of the given size.
class MemoryDC {
 public:
  MemoryDC(HDC reference, int width, int height)
      : dc_(CreateCompatibleDC(reference)),
        bitmap_(CreateCompatibleBitmap(reference, width > 0 ? width : 1, height > 0 ? height : 1)),
        old_(SelectObject(dc_, bitmap_.Get())) {}
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  ~MemoryDC() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  HDC Get() const { return dc_; }
  HBITMAP Bitmap() const { return bitmap_.Get(); }

 private:
  HDC dc_;
  GdiObject<HBITMAP> bitmap_;
  HGDIOBJ old_;
};

// Owns a user-interface handle that one function frees: an icon, a menu,
// an image list. Shared icons (LR_SHARED) are the system's: never hold them.
template <typename T, auto Free>
class UniqueUiHandle {
 public:
  UniqueUiHandle() = default;
  explicit UniqueUiHandle(T h) : h_(h) {}
  UniqueUiHandle(const UniqueUiHandle&) = delete;
  UniqueUiHandle& operator=(const UniqueUiHandle&) = delete;
  UniqueUiHandle(UniqueUiHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  UniqueUiHandle& operator=(UniqueUiHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~UniqueUiHandle() { Reset(); }
  T Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  T Release() { return std::exchange(h_, nullptr); }
  void Reset(T h = nullptr) {
    if (h_) Free(h_);
    h_ = h;
  }

 private:
  T h_ = nullptr;
};

using UniqueIcon = UniqueUiHandle<HICON, &DestroyIcon>;
using UniqueMenu = UniqueUiHandle<HMENU, &DestroyMenu>;
using UniqueImageList = UniqueUiHandle<HIMAGELIST, &ImageList_Destroy>;
