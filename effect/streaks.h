// The star streak pass: the flight through the star field.
#pragma once

// Depth of the viewer in the star field's space; starts at -0.5 and only
// grows, by cameraStep / cameraStepDivisor per frame.
extern float cameraDepth;
extern float cameraStep;         // 0.05
extern float cameraStepDivisor;  // 1.0 in the opening; 7.0 lowered to 6.5 after it
// A streak covers 1/streakDivisor of the way from its star to the centre.
extern float streakDivisor;  // 15.0

// Moves the viewer, draws the sparkles, then one streak per star on the
// 640x480 screen, and puts every other star back 4.5 to 9.5 units ahead.
void drawStarStreaks();
