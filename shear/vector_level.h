// Which vector instructions the shear passes use.  SSE2 is the baseline every
// supported machine has; AVX2 is taken when the processor and the operating
// system offer it.  Both give the same result bit for bit; tests and
// benchmarks can pin the baseline to check and measure it.
#pragma once

enum class VectorLevel { Baseline, Avx2 };

// The best level this machine supports.
VectorLevel DetectedVectorLevel();

// The level the passes use now: the detected one unless limited.
VectorLevel ActiveVectorLevel();

// Caps the level the passes use (VectorLevel::Avx2 means no cap).
void LimitVectorLevel(VectorLevel cap);
