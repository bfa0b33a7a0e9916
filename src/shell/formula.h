#pragma once

#include <QString>
#include <cstdint>

class Form;

// The state the windows share and the routines several of them call. The variables are
// 16-bit and signed; flags are -1 for true and 0 for false; everything starts at 0.
namespace Formula {

inline int16_t Prop1On = 0, Prop2On = 0, Prop3On = 0, Prop4On = 0, Prop5On = 0, Prop6On = 0,
               Prop7On = 0;
inline int16_t PenSize = 0;   // circle radius
inline int16_t BoxSize = 0;   // half the square's side
inline int16_t CannonX = 0;   // offset from the pointer to the next three-headed shot
inline int16_t CannonY = 0;
inline int16_t CannonMode = 0;  // shot counter within a volley

constexpr int16_t kTrue = -1;
constexpr int16_t kFalse = 0;
constexpr int kToolCount = 7;

// The flag of tool n (1..7).
int16_t& PropOn(int n);
// The selected tool, 0 before the first selection.
int selectedTool();
// Every shared variable back to 0, as at program start.
void resetState();

// Plays a wave from the program's Sound directory; flags 1 once, 9 looping.
void PlaySoundFile(const QString& Name, int16_t Flags);
// "No.wav" once: the way a repeating sound is ended.
void PlayNoSound();
// Lets the user drag a window without caption while the left button stays down.
void DragWindow(Form& window);
// Clears Target's drawing and outlines (Left1-5, Top1-5) to (Left2+Width2+5, Top2+Height2+5).
void DrawToolFrame(Form& Target, int16_t Left1, int16_t Top1, int16_t Left2, int16_t Top2,
                   int16_t Width2, int16_t Height2);
// Visibility of the settings window's size buttons and stamp command; loads it if needed.
void SetNumButtonsVisible(int16_t Visible);
void SetOpenButtonVisible(int16_t Visible);

}  // namespace Formula
