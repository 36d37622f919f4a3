// Fuzzes the software board with arbitrary sequences of state calls, clip
// windows, clears, swaps and vertices with any float bits. Nothing may be
// written outside the buffers (the sanitizers watch) and nothing may trap.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "board_host.h"
#include "device/glide.h"
#include "win32/display.h"

namespace {

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::uint32_t word() {
    std::uint32_t value = 0;
    const std::size_t take = size < 4 ? size : 4;
    std::memcpy(&value, data, take);
    data += take;
    size -= take;
    return value;
  }
  float number() {
    const std::uint32_t bits = word();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  GrVertex vertex() {
    GrVertex v{};
    v.x = number();
    v.y = number();
    v.r = number();
    v.g = number();
    v.b = number();
    v.a = number();
    v.oow = number();
    return v;
  }
};

void prepareWindow() {
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  win32::useHeadlessDisplay(640, 480);
  showBoardWindow();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    prepareWindow();
    return true;
  }();
  (void)ready;
  openBoard();
  Reader in{data, size};
  while (in.size > 0) {
    const std::uint32_t op = in.word() % 14;
    switch (op) {
      case 0: { GrVertex v = in.vertex(); grDrawPoint(&v); break; }
      case 1: { GrVertex v = in.vertex(); grAADrawPoint(&v); break; }
      case 2: { GrVertex a = in.vertex(); GrVertex b = in.vertex(); grAADrawLine(&a, &b); break; }
      case 3: grClipWindow(in.word(), in.word(), in.word(), in.word()); break;
      case 4: grBufferClear(in.word(), static_cast<GrAlpha_t>(in.word()), static_cast<FxU16>(in.word())); break;
      case 5: grColorCombine(in.word() % 20, in.word() % 16, in.word() % 4, in.word() % 4, in.word() & 1); break;
      case 6: grAlphaCombine(in.word() % 20, in.word() % 16, in.word() % 4, in.word() % 4, in.word() & 1); break;
      case 7: guColorCombineFunction(in.word() % 8); break;
      case 8: grFogMode(in.word() % 4); break;
      case 9: grFogColorValue(in.word()); break;
      case 10: {
        GrFog_t table[GR_FOG_TABLE_SIZE];
        if (in.word() & 1) {
          guFogGenerateExp(table, in.number());
        } else {
          for (GrFog_t& entry : table) entry = static_cast<GrFog_t>(in.word());
        }
        grFogTable(table);
        break;
      }
      case 11: grAlphaBlendFunction(in.word() % 9, in.word() % 9, 0, 0); break;
      case 12: grBufferSwap(0); break;
      default: guFogTableIndexToW(static_cast<int>(in.word() % 64)); break;
    }
  }
  grGlideShutdown();
  return 0;
}
