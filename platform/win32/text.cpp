// wvsprintfA and lstrcatA as Win32 defines them: integer, character and
// string conversions only, at most 1024 characters of output.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "internal.h"

namespace {

constexpr std::size_t outputLimit = 1024;

struct Conversion {
  bool leftAlign = false;
  bool zeroPad = false;
  bool hexPrefix = false;
  int width = 0;
  int precision = -1;
  char size = 0;  // 'h', 'l' or 0
  char type = 0;
};

std::string digits(std::uint32_t value, unsigned base, bool upper) {
  const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), alphabet[value % base]);
    value /= base;
  } while (value != 0);
  return text;
}

// Numbers: precision is the minimum digit count; zero padding comes between
// the sign or prefix and the digits.
std::string formatNumber(const Conversion& conversion, va_list& arguments) {
  std::string sign;
  std::string body;
  if (conversion.type == 'd' || conversion.type == 'i') {
    const std::int32_t value = va_arg(arguments, std::int32_t);
    if (value < 0) {
      sign = "-";
    }
    const std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value)
                                              : static_cast<std::uint32_t>(value);
    body = digits(magnitude, 10, false);
  } else {
    const std::uint32_t value = va_arg(arguments, std::uint32_t);
    const bool hex = conversion.type == 'x' || conversion.type == 'X';
    body = digits(value, hex ? 16 : 10, conversion.type == 'X');
    if (hex && conversion.hexPrefix && value != 0) {
      sign = conversion.type == 'X' ? "0X" : "0x";
    }
  }
  if (conversion.precision >= 0 && body.size() < static_cast<std::size_t>(conversion.precision)) {
    body.insert(0, conversion.precision - body.size(), '0');
  }
  if (conversion.zeroPad && !conversion.leftAlign) {
    const std::size_t used = sign.size() + body.size();
    if (used < static_cast<std::size_t>(conversion.width)) {
      body.insert(0, conversion.width - used, '0');
    }
  }
  return sign + body;
}

std::string formatString(const Conversion& conversion, va_list& arguments) {
  std::string text;
  if (conversion.size == 'l') {
    const wchar_t* wide = va_arg(arguments, const wchar_t*);
    if (wide == nullptr) {
      text = "(null)";
    } else {
      for (; *wide != 0; ++wide) {
        text += *wide < 0x100 ? static_cast<char>(*wide) : '?';
      }
    }
  } else {
    const char* narrow = va_arg(arguments, const char*);
    text = narrow != nullptr ? narrow : "(null)";
  }
  if (conversion.precision >= 0 && text.size() > static_cast<std::size_t>(conversion.precision)) {
    text.resize(conversion.precision);
  }
  return text;
}

// Parses the conversion that starts after '%'; returns the position after it.
const char* parseConversion(const char* format, Conversion& conversion) {
  for (;; ++format) {
    if (*format == '-') {
      conversion.leftAlign = true;
    } else if (*format == '0') {
      conversion.zeroPad = true;
    } else if (*format == '#') {
      conversion.hexPrefix = true;
    } else {
      break;
    }
  }
  while (*format >= '0' && *format <= '9') {
    conversion.width = std::min(conversion.width * 10 + (*format++ - '0'), 1024);
  }
  if (*format == '.') {
    ++format;
    conversion.precision = 0;
    while (*format >= '0' && *format <= '9') {
      conversion.precision = std::min(conversion.precision * 10 + (*format++ - '0'), 1024);
    }
  }
  if (*format == 'h' || *format == 'l') {
    conversion.size = *format++;
  }
  conversion.type = *format;
  return *format != 0 ? format + 1 : format;
}

std::string formatAll(const char* format, va_list& arguments) {
  std::string output;
  while (*format != 0 && output.size() < outputLimit) {
    if (*format != '%') {
      output += *format++;
      continue;
    }
    Conversion conversion;
    format = parseConversion(format + 1, conversion);
    std::string piece;
    switch (conversion.type) {
      case 'd': case 'i': case 'u': case 'x': case 'X':
        piece = formatNumber(conversion, arguments);
        break;
      case 'c': case 'C':
        piece = std::string(1, static_cast<char>(va_arg(arguments, int)));
        break;
      case 's': case 'S':
        piece = formatString(conversion, arguments);
        break;
      case 0:
        break;
      default:  // '%%' and unknown types stand for themselves
        piece = std::string(1, conversion.type);
        conversion.width = 0;
        break;
    }
    if (piece.size() < static_cast<std::size_t>(conversion.width)) {
      const std::string padding(conversion.width - piece.size(), ' ');
      piece = conversion.leftAlign ? piece + padding : padding + piece;
    }
    output += piece;
  }
  if (output.size() > outputLimit) {
    output.resize(outputLimit);
  }
  return output;
}

}  // namespace

extern "C" {

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments) {
  if (buffer == nullptr || format == nullptr) {
    return -1;
  }
  va_list copy;
  va_copy(copy, arguments);
  const std::string output = formatAll(format, copy);
  va_end(copy);
  std::memcpy(buffer, output.c_str(), output.size() + 1);
  return static_cast<int>(output.size());
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int written = wvsprintfA(buffer, format, arguments);
  va_end(arguments);
  return written;
}

LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source) {
  if (destination == nullptr || source == nullptr) {
    return nullptr;
  }
  return std::strcat(destination, source);
}

}  // extern "C"
