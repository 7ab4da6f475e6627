// The switched gain law shared by the RMS and peak compressors: a quarter-sine
// fade from 1 down to 1/ratio over the attack, and back up over the release.
#pragma once

#include <cmath>

namespace varnel {

// Compressor states. The caller's state integer is the slot's on flag: 0 off,
// 1 idle; the compressor advances it from there.
enum CompressorState : int {
    kCompOff = 0,
    kCompIdle = 1,
    kCompAttack = 2,
    kCompHolding = 3,
    kCompRelease = 4,
};

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kFloorMagnitude = 0.0001;   // smallest magnitude a processor writes back

// The settings reader keeps ratios in [1, 50]; anything below 1 (0, negative,
// NaN) would make 1/ratio infinite or raise the level, so it acts as 1.
inline double SafeRatio(double ratio) { return ratio >= 1.0 ? ratio : 1.0; }

// Fade lengths below one sample would divide by zero; they act as one sample.
inline int SafeSpan(int samples) { return samples >= 1 ? samples : 1; }

// Gain at step k (from 1) of an attack of `attack` samples.
inline double AttackGain(int k, int attack, double ratio) {
    return 1.0 - (1.0 - 1.0 / ratio) * std::sin(kHalfPi * k / attack);
}

// Gain at step k of a release of `release` samples.
inline double ReleaseGain(int k, int release, double ratio) {
    return 1.0 / ratio + (1.0 - 1.0 / ratio) * std::sin(kHalfPi * k / release);
}

// A compressor's settings made safe for the gain law, with the threshold
// kept exact in double precision (bus thresholds reach 2,147,483,647).
// The gain tables, where the caller has them, hold the same values for
// steps 0..attack and 0..release.
struct SwitchedLaw {
    int attack, release;
    double ratio, threshold, halfThreshold;
    const double* attackGains = nullptr;
    const double* releaseGains = nullptr;
};

inline SwitchedLaw MakeLaw(int attack, int release, double ratio, int threshold) {
    const double thr = threshold;
    return {SafeSpan(attack), SafeSpan(release), SafeRatio(ratio), thr, thr * 0.5};
}

inline double LawAttackGain(const SwitchedLaw& law, int k) {
    if (law.attackGains && unsigned(k) <= unsigned(law.attack)) return law.attackGains[k];
    return AttackGain(k, law.attack, law.ratio);
}

inline double LawReleaseGain(const SwitchedLaw& law, int k) {
    if (law.releaseGains && unsigned(k) <= unsigned(law.release)) return law.releaseGains[k];
    return ReleaseGain(k, law.release, law.ratio);
}

// One attack frame: returns the gain of the current step, advances the step
// and, after the last one, moves on to holding.
inline double AttackStep(int& state, int& count, const SwitchedLaw& law) {
    const int k = count;
    if (k < law.attack) {
        count = k + 1;
    } else {
        state = kCompHolding;
    }
    return LawAttackGain(law, k);
}

// One release frame: returns the gain of the current step. The step moves on
// while both sides read below the threshold (`quiet`) and back toward full
// reduction otherwise; past the last step the compressor is idle again.
inline double ReleaseStep(int& state, int& count, const SwitchedLaw& law, bool quiet) {
    const int k = count;
    if (quiet) {
        count = k + 1;
    } else if (k > 0) {
        count = k - 1;
    }
    if (count > law.release) state = kCompIdle;
    return LawReleaseGain(law, k);
}

// Polarity +1 for samples >= 0 (negative zero too), -1 below.
inline int Polarity(double v) { return v >= 0.0 ? 1 : -1; }

// Magnitude raised to the floor, so a written-back zero becomes +0.0001 x gain.
inline double FlooredMagnitude(double v) {
    const double m = std::fabs(v);
    return m < kFloorMagnitude ? kFloorMagnitude : m;
}

// The square that enters the RMS sums, from the magnitude before flooring:
// a magnitude below the floor counts as 1e-8.
inline double FlooredSquare(double magnitude) {
    return magnitude < kFloorMagnitude ? 1e-8 : magnitude * magnitude;
}

}  // namespace varnel
