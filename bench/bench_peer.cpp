// The peer: the same opening frame's primitives drawn through OpenGL 1.x on
// Mesa's software rasterizer (OSMesa) into a 640x480 buffer: clear, 6000
// points, 100 smooth points, 1000 smooth lines with per-vertex colour,
// alpha blending and exponential fog, then glFinish.
#include <GL/osmesa.h>
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_support.h"

namespace {

struct PeerContext {
  OSMesaContext context = nullptr;
  std::vector<unsigned char> buffer = std::vector<unsigned char>(640 * 480 * 4);
};

// A depth of 1/oow along -z, so that GL's fog by eye distance stands for
// the board's table fog by 1/w.
void vertex(const GrVertex& v) {
  glColor4f(v.r / 255.0f, v.g / 255.0f, v.b / 255.0f, v.a / 255.0f);
  glVertex3f(v.x, v.y, -1.0f / v.oow);
}

PeerContext* openPeer() {
  static PeerContext peer;
  if (peer.context != nullptr) {
    return &peer;
  }
  peer.context = OSMesaCreateContextExt(OSMESA_RGBA, 0, 0, 0, nullptr);
  if (peer.context == nullptr || !OSMesaMakeCurrent(peer.context, peer.buffer.data(), GL_UNSIGNED_BYTE, 640, 480)) {
    return nullptr;
  }
  glViewport(0, 0, 640, 480);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 640, 0, 480, 0, 1000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_EXP);
  glFogf(GL_FOG_DENSITY, 0.9f);
  const GLfloat black[4] = {0, 0, 0, 1};
  glFogfv(GL_FOG_COLOR, black);
  glClearColor(0, 0, 0, 1);
  return &peer;
}

void PeerOpeningPrimitives(benchmark::State& state) {
  if (openPeer() == nullptr) {
    state.SkipWithError("OSMesa context could not be made");
    return;
  }
  const BenchScene& s = scene();
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_POINT_SMOOTH);
    glPointSize(1.0f);
    glBegin(GL_POINTS);
    for (const GrVertex& v : s.points) vertex(v);
    glEnd();
    glEnable(GL_POINT_SMOOTH);
    glPointSize(2.0f);
    glBegin(GL_POINTS);
    for (const GrVertex& v : s.sparkles) vertex(v);
    glEnd();
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (const auto& [tail, head] : s.streaks) {
      vertex(tail);
      vertex(head);
    }
    glEnd();
    glFinish();
  }
}
BENCHMARK(PeerOpeningPrimitives)->Unit(benchmark::kMicrosecond);

}  // namespace
