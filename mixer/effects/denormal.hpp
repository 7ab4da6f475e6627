// Input guard of every filter: values closer to zero than 0.0001 are pushed
// out to +-0.0001 so the recursive filters never run into denormal arithmetic.
// At the mixer's integer scales this is far below one least significant bit.
#pragma once

namespace varnel {

// 0 <= v < 0.0001 becomes +0.0001 (negative zero included); -0.0001 < v < 0
// becomes -0.0001; every other value, NaN included, is left alone.
void Denormal(double* left, double* right, int n);

}  // namespace varnel
