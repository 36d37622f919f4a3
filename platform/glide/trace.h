// The call trace: every Glide call with its arguments, in order, into two
// sinks that can be on together: the memory of the process (tests read it)
// and the text file that SOFTGLIDE_TRACE names (targets are compared by it).
#pragma once

#include <cstdint>
#include <initializer_list>

#include "device/glide.h"

namespace softglide::detail {

// Either sink is on.
bool tracing();

// One call; a vertex argument stands for its x, y, r, g, b, a and oow.
void traceCall(const char* name, std::initializer_list<double> arguments);
void traceCall(const char* name, std::initializer_list<const GrVertex*> vertices);
// grFogTable with its 64 entries (none for a null table).
void traceFogTable(const GrFog_t* table);

// One call with its numeric arguments, each as the double it is.
template <typename... Arguments>
void traceArguments(const char* name, Arguments... arguments) {
  traceCall(name, std::initializer_list<double>{static_cast<double>(arguments)...});
}

}  // namespace softglide::detail
