// Range checks of the effect settings, each named by what it clamps. Each
// clamps its value in place and prints nothing; the line readers print what
// a line needs with the line's location.
#pragma once

namespace varnel {

// A compressor's attack in samples: 1 .. 2 x rate.
void ClampAttackSamples(int& samples, double rate);
// A compressor's release in samples: 9 or less becomes 10, at most 5 x rate.
void ClampReleaseSamples(int& samples, double rate);
// A compressor's ratio: [1, 50].
void ClampRatio(double& ratio);
// A filter's design frequency: at most rate / 2, then at least 1 Hz.
void ClampDesignFrequency(double& hz, double rate);
// An EQ stage's gain in decibels: [-15, 15].
void ClampEqGain(double& dB);
// An EQ stage's Q: [0.01, 100].
void ClampEqQ(double& q);
// A reverb placement coordinate in percent: [0, 100].
void ClampPercent(float& percent);
// An effect line's slot: any above 135 (negative ones included) becomes 135;
// true when it was out of range.
bool ClampSlot(int& slot);
// A compressor or limiter threshold: decibels [-144, 0], percent [0, 100].
void ClampThreshold(double& value, bool percent);
// A send or return level: decibels [-144, 12.02], percent [0, 400].
void ClampSendLevel(double& value, bool percent);

}  // namespace varnel
