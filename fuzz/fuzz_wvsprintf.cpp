// Fuzzes wvsprintfA with arbitrary formats. Within the Win32 contract every
// conversion gets an argument of its kind: each argument here is a pointer
// to a buffer that reads as a narrow string, a wide string, or an integer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

// "abc" followed by zero bytes: a valid narrow string, and a valid wide
// string of one character on either wchar_t width.
alignas(8) const char argument[16] = "abc";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string format(reinterpret_cast<const char*>(data), size);
  format = format.c_str();  // up to the first zero byte
  int conversions = 0;
  for (const char c : format) conversions += c == '%';
  if (conversions > 24) {
    return 0;  // more conversions than arguments is outside the contract
  }
  char output[1025 + 64];
  std::memset(output, 0x5A, sizeof output);
  const char* a = argument;
  const int written = wsprintfA(output, format.c_str(), a, a, a, a, a, a, a, a, a, a, a, a, a, a, a, a, a, a, a, a,
                                a, a, a, a, a);
  if (written < 0 || written > 1024 || output[written] != '\0' || std::strlen(output) != static_cast<std::size_t>(written) ||
      output[1025] != 0x5A) {
    std::abort();
  }
  return 0;
}
