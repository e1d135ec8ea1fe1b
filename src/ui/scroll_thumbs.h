// Scroll bars whose thumb reads as the thumb. Fusion, the style Qt uses where the desktop names
// none, draws the thumb lighter than its groove on a light palette, so that the groove's dark
// stretch looks like the thumb and the bars seem to run the wrong way.
#pragma once

// Replaces a Fusion application style with one that draws the thumb darker than its groove on a
// light palette; any other style is left as the desktop chose it.
void UseVisibleScrollThumbs();
