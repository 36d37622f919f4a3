// The call trace and its two sinks: the calls kept in memory while tests
// have tracing on, and the trace file, one line per call (the name, then
// " " and each argument in C's %a, exact on every target).
#include "trace.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runlog.h"
#include "softglide.h"

namespace softglide::detail {
namespace {

bool memoryOn = false;
std::vector<TraceCall> calls;

void writeNumber(std::FILE* file, double value) {
  char text[32];
  text[0] = ' ';
  const int length = formatHexFloat(value, text + 1);
  std::fwrite(text, 1, static_cast<std::size_t>(length) + 1, file);
}

void vertexValues(const GrVertex* vertex, std::vector<double>& values) {
  values.insert(values.end(), {vertex->x, vertex->y, vertex->r, vertex->g, vertex->b, vertex->a, vertex->oow});
}

}  // namespace

bool tracing() {
  return memoryOn || traceFile() != nullptr;
}

void traceCall(const char* name, std::initializer_list<double> arguments) {
  if (memoryOn) {
    calls.push_back({name, arguments});
  }
  if (std::FILE* file = traceFile()) {
    std::fputs(name, file);
    for (const double value : arguments) {
      writeNumber(file, value);
    }
    std::fputc('\n', file);
    traceLineWritten();
  }
}

void traceCall(const char* name, std::initializer_list<const GrVertex*> vertices) {
  if (memoryOn) {
    std::vector<double> values;
    for (const GrVertex* vertex : vertices) {
      if (vertex != nullptr) {
        vertexValues(vertex, values);
      }
    }
    calls.push_back({name, std::move(values)});
  }
  if (std::FILE* file = traceFile()) {
    std::fputs(name, file);
    for (const GrVertex* vertex : vertices) {
      if (vertex == nullptr) {
        std::fputs(" null", file);
        continue;
      }
      for (const float value : {vertex->x, vertex->y, vertex->r, vertex->g, vertex->b, vertex->a, vertex->oow}) {
        writeNumber(file, value);
      }
    }
    std::fputc('\n', file);
    traceLineWritten();
  }
}

void traceFogTable(const GrFog_t* table) {
  std::vector<double> entries;
  if (table != nullptr) {
    entries.assign(table, table + GR_FOG_TABLE_SIZE);
  }
  if (memoryOn && table != nullptr) {
    calls.push_back({"grFogTable", entries});
  }
  if (std::FILE* file = traceFile()) {
    std::fputs("grFogTable", file);
    for (const double entry : entries) {
      writeNumber(file, entry);
    }
    std::fputc('\n', file);
    traceLineWritten();
  }
}

}  // namespace softglide::detail

namespace softglide {

int formatHexFloat(double value, char* out) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  char* p = out;
  if (biased == 0x7FF) {
    if (fraction != 0) {
      std::memcpy(p, negative ? "-nan" : "nan", negative ? 5 : 4);
      return negative ? 4 : 3;
    }
    std::memcpy(p, negative ? "-inf" : "inf", negative ? 5 : 4);
    return negative ? 4 : 3;
  }
  if (negative) {
    *p++ = '-';
  }
  // Normal numbers lead with 1, zero and subnormals with 0 at exponent -1022.
  const bool normal = biased != 0;
  const int exponent = biased == 0 ? (fraction == 0 ? 0 : -1022) : biased - 1023;
  *p++ = '0';
  *p++ = 'x';
  *p++ = normal ? '1' : '0';
  if (fraction != 0) {
    *p++ = '.';
    int digits = 13;
    while ((fraction & 0xF) == 0) {
      fraction >>= 4;
      --digits;
    }
    for (int i = digits - 1; i >= 0; --i) {
      p[i] = "0123456789abcdef"[fraction & 0xF];
      fraction >>= 4;
    }
    p += digits;
  }
  *p++ = 'p';
  *p++ = exponent < 0 ? '-' : '+';
  p += std::snprintf(p, 6, "%d", exponent < 0 ? -exponent : exponent);
  return static_cast<int>(p - out);
}

std::string TraceCall::text() const {
  std::string result = name + "(";
  char number[32];
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const double value = arguments[i];
    const bool whole = value == std::floor(value) && std::fabs(value) < 1e15;
    std::snprintf(number, sizeof number, whole ? "%s%.0f" : "%s%.9g", i == 0 ? "" : ", ", value);
    result += number;
  }
  return result + ")";
}

void setTracing(bool on) {
  detail::memoryOn = on;
}

const std::vector<TraceCall>& trace() {
  return detail::calls;
}

void clearTrace() {
  detail::calls.clear();
}

}  // namespace softglide
