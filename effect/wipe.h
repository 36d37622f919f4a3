// The closing wipe that ends the show.
#pragma once

// Twenty frames of a white rectangle on black, centred, shrinking from the
// whole screen by 32 pixels a side horizontally and 24 vertically per frame
// (gone from frame 11); then the three point pools are released.
void playClosingWipe();
