#pragma once

namespace Formula {

// Frames size button Num(k) of the settings window, 10 pixels out at the left and top and 5 at
// the right and bottom, erasing the previous frame. k outside 1..5 does nothing.
void FrameNumButton(int k);

}  // namespace Formula
