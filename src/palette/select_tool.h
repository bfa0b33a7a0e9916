#pragma once

// The one place where the selected tool changes.
namespace Formula {

// Selects tool n (1..7): frames it on the palette, sets the tool flags and sizes, resets the
// canvas's pen for the tool, gives the palette, the settings window and the canvas the tool's
// cursor and starts its selection sound. Touching the windows loads those that are not
// loaded yet (the first selection loads the settings window, hidden). Other numbers do nothing.
void SelectTool(int n);

}  // namespace Formula
