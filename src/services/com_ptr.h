#pragma once
// Owners for COM interface pointers, BSTRs, VARIANTs and one thread's COM initialisation.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace corvane {

// Holds one reference to a COM interface and releases it on every path.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : pointer_(adopted) {}  // takes over one reference
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // For out-parameters: releases what is held and hands out the empty slot.
  T** put() {
    reset();
    return &pointer_;
  }
  void reset() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
  }

 private:
  T* pointer_ = nullptr;
};

// Owns a BSTR; a null BSTR reads as an empty text.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text);  // throws std::bad_alloc when allocation fails
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(value_); }

  BSTR get() const { return value_; }
  BSTR* put() {
    SysFreeString(value_);
    value_ = nullptr;
    return &value_;
  }
  BSTR release() { return std::exchange(value_, nullptr); }
  bool is_null() const { return value_ == nullptr; }
  std::wstring text() const { return value_ == nullptr ? std::wstring() : std::wstring(value_, SysStringLen(value_)); }

 private:
  BSTR value_ = nullptr;
};

// Owns a VARIANT, cleared with VariantClear.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  static Variant from_long(LONG number);
  static Variant from_text(const std::wstring& text);  // VT_BSTR
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  ~Variant() { VariantClear(&value_); }

  // A shallow copy for passing by value to a COM method (the callee does not own it).
  VARIANT get() const { return value_; }

 private:
  VARIANT value_;
};

// CoInitializeEx on this thread, undone with CoUninitialize when it succeeded.
class ComInitScope {
 public:
  explicit ComInitScope(DWORD model) : result_(CoInitializeEx(nullptr, model)) {}
  ComInitScope(const ComInitScope&) = delete;
  ComInitScope& operator=(const ComInitScope&) = delete;
  ~ComInitScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }

 private:
  HRESULT result_;
};

}  // namespace corvane
