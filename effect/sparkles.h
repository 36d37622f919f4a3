// The sparkle layer: a hundred fixed anti-aliased points that twinkle.
#pragma once

// Draws every sparkle in starBrightness with a fog depth drawn anew: oow
// 0.6, 0.7 or 0.8, three brightness levels under the table fog.
void drawSparkleLayer();
