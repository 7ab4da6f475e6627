// Range checks of the effect settings. Each clamps its value in place; only
// checkValI prints (an out-of-range fader designator). The level-based checks
// take the fader file's level mode as code: 0 decibels, 1 percent.
#pragma once

namespace varnel {

// Code 10: 1 sample .. 2 x base; code 11: 10 samples .. 5 x base
// (a value of 9 or less becomes 10). Base is the sample rate.
void checkValL(int& value, int code, double base);
// Code 12: [1, 50]; 20: at most base / 2, then at least 1; 21: [-15, 15];
// 22: [0.01, 100].
void checkValD(double& value, int code, double base);
// Code 100: [0, 100].
void checkValF(float& value, int code);
// Code 1: any slot above 135 (negative ones included) becomes 135, with a
// message.
void checkValI(int& value, int code);
// The same clamp without the message; true when the slot was out of range
// (the line readers print the message with the line's location).
bool ClampSlot(int& slot);
// Threshold: decibels [-144, 0], percent [0, 100]. Returns 1 for a known code.
int CheckThresh(double& value, int code);
// Send or return level: decibels [-144, 12.02], percent [0, 400].
int CheckSndRtn(double& value, int code);

}  // namespace varnel
