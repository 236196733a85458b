// Starts Allegro's system once for a test program (works without a display)
// and sends message boxes to stderr.
#pragma once

void zorInitAllegro();
