#include "services/com_ptr.h"

#include <new>

namespace corvane {

Bstr::Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  if (value_ == nullptr) throw std::bad_alloc();
}

Variant Variant::from_long(LONG number) {
  Variant variant;
  variant.value_.vt = VT_I4;
  variant.value_.lVal = number;
  return variant;
}

Variant Variant::from_text(const std::wstring& text) {
  Variant variant;
  Bstr owned(text);
  variant.value_.vt = VT_BSTR;
  variant.value_.bstrVal = owned.release();
  return variant;
}

}  // namespace corvane
