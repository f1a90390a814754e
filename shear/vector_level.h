// Which vector instructions the shear passes use.  SSE2 is the baseline every
// supported machine has; AVX2 and AVX-512 are taken when the processor and the
// operating system offer them.  Every level gives the same result bit for bit;
// tests and benchmarks can cap the level to check and measure the lower ones.
#pragma once

enum class VectorLevel { Baseline, Avx2, Avx512 };

// The best level this machine supports.
VectorLevel DetectedVectorLevel();

// The level the passes use now: the detected one, limited by the cap.
VectorLevel ActiveVectorLevel();

// Caps the level the passes use (VectorLevel::Avx512 means no cap).
void LimitVectorLevel(VectorLevel cap);
