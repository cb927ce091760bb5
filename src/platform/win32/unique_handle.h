// One owner per handle: UniqueHandle frees what it holds exactly once, ComPtr releases.
#pragma once

#include <windows.h>

#include <utility>

namespace win32 {

// Traits give the handle type, its empty value and how it is freed.
template <class Traits>
class UniqueHandle {
 public:
  using T = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(T value) : value_(value) {}
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::invalid(); }
  T release() { return std::exchange(value_, Traits::invalid()); }
  void reset(T value = Traits::invalid()) {
    if (value_ != Traits::invalid()) Traits::close(value_);
    value_ = value;
  }

 private:
  T value_ = Traits::invalid();
};

template <class H, auto Close>
struct NullIsEmpty {
  using Type = H;
  static H invalid() { return nullptr; }
  static void close(H h) { Close(h); }
};

// CreateFileW reports failure as INVALID_HANDLE_VALUE, not null.
struct FileTraits {
  using Type = HANDLE;
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};

using UniqueFile = UniqueHandle<FileTraits>;
using UniqueKernelHandle = UniqueHandle<NullIsEmpty<HANDLE, ::CloseHandle>>;
using UniqueFont = UniqueHandle<NullIsEmpty<HFONT, ::DeleteObject>>;
using UniqueBitmap = UniqueHandle<NullIsEmpty<HBITMAP, ::DeleteObject>>;
using UniqueIcon = UniqueHandle<NullIsEmpty<HICON, ::DestroyIcon>>;
using UniqueCursor = UniqueHandle<NullIsEmpty<HCURSOR, ::DestroyCursor>>;
using UniqueModule = UniqueHandle<NullIsEmpty<HMODULE, ::FreeLibrary>>;

// A COM interface pointer with one reference of its own.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    reset();
    p_ = std::exchange(other.p_, nullptr);
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

}  // namespace win32
