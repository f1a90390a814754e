// Whether this build targets x86 with at least SSE2 (every x86 build of the
// engine: the 32-bit one is compiled with -msse2), and so has the SSE2, AVX2
// and AVX-512 line and band kernels, the streaming stores and run-time CPU
// detection.
#pragma once

#if defined(__GNUC__) && defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#define PG_X86_VECTORS 1
#else
#define PG_X86_VECTORS 0
#endif
