#include "services/text.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwctype>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace corvane {

std::wstring utf8_to_wide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    std::size_t continuation = 0;
    std::uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      continuation = 1;
      cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      continuation = 2;
      cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      continuation = 3;
      cp = lead & 0x07u;
    } else {
      throw std::runtime_error("Invalid UTF-8");
    }
    if (text.size() - i - 1 < continuation) throw std::runtime_error("Truncated UTF-8");
    for (std::size_t k = 1; k <= continuation; ++k) {
      const unsigned char byte = static_cast<unsigned char>(text[i + k]);
      if ((byte & 0xC0u) != 0x80u) throw std::runtime_error("Invalid UTF-8 continuation");
      cp = (cp << 6) | (byte & 0x3Fu);
    }
    const std::uint32_t minimum = continuation == 1 ? 0x80u : continuation == 2 ? 0x800u : 0x10000u;
    if (cp < minimum || (cp >= 0xD800u && cp <= 0xDFFFu) || cp > 0x10FFFFu) {
      throw std::runtime_error("Invalid UTF-8 code point");
    }
    if (cp <= 0xFFFFu) {
      out.push_back(static_cast<wchar_t>(cp));
    } else {
      out.push_back(static_cast<wchar_t>(0xD800u + ((cp - 0x10000u) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00u + ((cp - 0x10000u) & 0x3FFu)));
    }
    i += continuation + 1;
  }
  return out;
}

std::string wide_to_utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t cp = static_cast<std::uint16_t>(text[i]);
    if (cp >= 0xD800u && cp <= 0xDBFFu) {
      if (i + 1 >= text.size()) throw std::runtime_error("Invalid UTF-16");
      const std::uint32_t low = static_cast<std::uint16_t>(text[i + 1]);
      if (low < 0xDC00u || low > 0xDFFFu) throw std::runtime_error("Invalid UTF-16");
      cp = 0x10000u + ((cp - 0xD800u) << 10) + (low - 0xDC00u);
      ++i;
    }
    if ((cp >= 0xD800u && cp <= 0xDFFFu) || cp > 0x10FFFFu) throw std::runtime_error("Invalid Unicode");
    if (cp < 0x80u) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800u) {
      out.push_back(static_cast<char>(0xC0u | (cp >> 6)));
      out.push_back(static_cast<char>(0x80u | (cp & 0x3Fu)));
    } else if (cp < 0x10000u) {
      out.push_back(static_cast<char>(0xE0u | (cp >> 12)));
      out.push_back(static_cast<char>(0x80u | ((cp >> 6) & 0x3Fu)));
      out.push_back(static_cast<char>(0x80u | (cp & 0x3Fu)));
    } else {
      out.push_back(static_cast<char>(0xF0u | (cp >> 18)));
      out.push_back(static_cast<char>(0x80u | ((cp >> 12) & 0x3Fu)));
      out.push_back(static_cast<char>(0x80u | ((cp >> 6) & 0x3Fu)));
      out.push_back(static_cast<char>(0x80u | (cp & 0x3Fu)));
    }
  }
  return out;
}

std::wstring utf8_to_wide_lenient(std::string_view text) {
  try {
    return utf8_to_wide(text);
  } catch (const std::exception&) {
  }
  // Byte by byte: ASCII kept, every other byte shown as U+FFFD, so the text stays readable.
  std::wstring out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    out.push_back(byte < 0x80 ? static_cast<wchar_t>(byte) : L'\xFFFD');
  }
  return out;
}

std::wstring format_byte_size(std::uint64_t bytes) {
  static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024.0 && unit < 4) {
    value *= 1.0 / 1024.0;
    ++unit;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, unit == 0 ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
  return utf8_to_wide(buffer);
}

namespace {

struct SplitPath {
  std::wstring root_kind;  // "drive" or the leading separators of a UNC or device path
  std::vector<std::wstring> elements;
};

bool split_absolute_path(const std::wstring& path, SplitPath& out) {
  std::wstring text = path;
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  std::size_t start = 0;
  if (text.size() >= 3 && std::iswalpha(text[0]) && text[1] == L':' && text[2] == L'\\') {
    out.root_kind = L"drive";
  } else if (text.size() >= 3 && text[0] == L'\\' && text[1] == L'\\' && text[2] != L'\\') {
    out.root_kind = L"\\\\";
    start = 2;
  } else {
    return false;
  }
  std::size_t pos = start;
  while (pos <= text.size()) {
    std::size_t next = text.find(L'\\', pos);
    if (next == std::wstring::npos) next = text.size();
    std::wstring element = text.substr(pos, next - pos);
    pos = next + 1;
    if (element.empty() || element == L".") continue;
    if (element == L"..") {
      // The first element is the drive or the server: nothing goes above it.
      if (out.elements.size() > 1) out.elements.pop_back();
      continue;
    }
    out.elements.push_back(std::move(element));
  }
  return !out.elements.empty();
}

bool same_element(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool same_path_text(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

namespace {

bool is_path_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Where the elements of an absolute path start (the drive's "C:" is the first element, a UNC
// path's server the first); npos for any other form.
std::size_t elements_start(const std::wstring& path) {
  if (path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && is_path_separator(path[2])) return 0;
  if (path.size() >= 3 && is_path_separator(path[0]) && is_path_separator(path[1]) && !is_path_separator(path[2])) {
    return 2;
  }
  return std::wstring::npos;
}

// The next non-empty element at or after pos, as [begin, end); false at the end.
bool next_element(const std::wstring& path, std::size_t& pos, std::size_t& begin, std::size_t& end) {
  while (pos < path.size() && is_path_separator(path[pos])) ++pos;
  if (pos >= path.size()) return false;
  begin = pos;
  while (pos < path.size() && !is_path_separator(path[pos])) ++pos;
  end = pos;
  return true;
}

bool has_dot_element(const std::wstring& path, std::size_t pos) {
  std::size_t begin = 0;
  std::size_t end = 0;
  while (next_element(path, pos, begin, end)) {
    if (path[begin] == L'.' && (end - begin == 1 || (end - begin == 2 && path[begin + 1] == L'.'))) return true;
  }
  return false;
}

bool split_path_strictly_inside(const std::wstring& root, const std::wstring& candidate) {
  SplitPath r;
  SplitPath c;
  if (!split_absolute_path(root, r) || !split_absolute_path(candidate, c)) return false;
  if (r.root_kind != c.root_kind) return false;
  if (c.elements.size() <= r.elements.size()) return false;
  for (std::size_t i = 0; i < r.elements.size(); ++i) {
    if (!same_element(r.elements[i], c.elements[i])) return false;
  }
  return true;
}

}  // namespace

bool path_strictly_inside(const std::wstring& root, const std::wstring& candidate) {
  // Called for every file of a cleanup run, several times: compared in place, element by
  // element, unless a "." or ".." element asks for the paths to be resolved first.
  const std::size_t root_start = elements_start(root);
  const std::size_t candidate_start = elements_start(candidate);
  if (root_start == std::wstring::npos || root_start != candidate_start) return false;
  if (has_dot_element(root, root_start) || has_dot_element(candidate, candidate_start)) {
    return split_path_strictly_inside(root, candidate);
  }
  std::size_t root_pos = root_start;
  std::size_t candidate_pos = candidate_start;
  std::size_t root_begin = 0, root_end = 0, candidate_begin = 0, candidate_end = 0;
  bool any = false;
  while (next_element(root, root_pos, root_begin, root_end)) {
    if (!next_element(candidate, candidate_pos, candidate_begin, candidate_end)) return false;
    if (root_end - root_begin != candidate_end - candidate_begin) return false;
    for (std::size_t i = 0; i < root_end - root_begin; ++i) {
      if (std::towlower(root[root_begin + i]) != std::towlower(candidate[candidate_begin + i])) return false;
    }
    any = true;
  }
  return any && next_element(candidate, candidate_pos, candidate_begin, candidate_end);
}

std::wstring windows_error_text(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  if (text.empty()) text = L"Windows error";
  return text + L" (" + std::to_wstring(code) + L")";
}

void throw_windows_error(std::uint32_t code) {
  throw std::runtime_error(wide_to_utf8(windows_error_text(code)));
}

namespace {

std::string stamp_now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const unsigned long long tick = GetTickCount64();
  const unsigned long pid = GetCurrentProcessId();
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d-%02d%02d%02d-%03d-%lu-%llu", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, pid, tick);
  return buffer;
}

}  // namespace

std::string make_stamp() {
  // Two documents stamped in the same millisecond must not share a name: wait for the
  // clock to move on instead of changing the stamp's form.
  static std::mutex guard;
  static std::string last;
  std::lock_guard<std::mutex> lock(guard);
  std::string stamp = stamp_now();
  while (stamp == last) {
    Sleep(1);
    stamp = stamp_now();
  }
  last = stamp;
  return stamp;
}

std::wstring expand_environment(const std::wstring& text) {
  const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring buffer(size, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), size);
  // A failure, or a variable that grew between the two calls, leaves the text as it was.
  if (written == 0 || written > size) return text;
  buffer.resize(written - 1);
  return buffer;
}

std::string guid_to_string(const GUID& guid) {
  wchar_t buffer[40] = {};
  const int length = StringFromGUID2(guid, buffer, 40);
  if (length <= 1) return {};
  return wide_to_utf8(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
}

std::wstring lower_case(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring lowered(text.size(), L'\0');
  const int written = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.c_str(), static_cast<int>(text.size()),
                                    lowered.data(), static_cast<int>(lowered.size()), nullptr, nullptr, 0);
  if (written <= 0) throw std::runtime_error(wide_to_utf8(windows_error_text(GetLastError())));
  lowered.resize(static_cast<std::size_t>(written));
  return lowered;
}

}  // namespace corvane
