// The row and column shear passes that produce the filter's result.
#pragma once

#include <cstdint>

#include "shear/pixel.h"
#include "shear/profiles.h"
#include "shear/samplers.h"

// The pixels to produce: left <= x < right, top <= y < bottom.
struct ProcessRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// The host's progress callback: (done, total, userData), done in
// ten-thousandths of the run, total always 10000.  On 32-bit Windows it uses
// the standard calling convention; elsewhere the platform's default.
#if defined(_WIN32) && defined(__i386__)
#define PG_STDCALL __attribute__((stdcall))
#else
#define PG_STDCALL
#endif

// An opaque host value handed back with every report: 32 bits in the plug-in,
// pointer-sized natively so that a native caller can pass an address.
using ProgressUserData = std::uintptr_t;
using ProgressCallback = std::int32_t(PG_STDCALL*)(std::int32_t done, std::int32_t total,
                                                   ProgressUserData userData);

constexpr std::int32_t kProgressTotal = 10000;

struct ProgressSink {
    ProgressUserData userData;
    ProgressCallback callback;  // may be null
};

// The filter's parameters, as the settings file holds them.
struct ParallelogramSettings {
    std::int32_t shape;      // the value of a ShapeKind
    std::int32_t dimension;  // percent, -100..100
    UndefinedAreaPolicy policy;
    std::int32_t preview;    // the dialog's preview checkbox
};

// Shifts every row of `rect` sideways with the offset profile of
// settings.shape (a row shape).  Reads the whole source, writes only
// destination pixels inside `rect`, and reports progress after every row.
// Preconditions: rect inside the w x h image, dimension -100..100, source
// and destination distinct w x h buffers.  A mode that names no
// UndefinedAreaMode is taken as EdgePixel; a shape that names no ShapeKind
// writes and reports nothing.
void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
               std::int32_t w, std::int32_t h, const ProgressSink& sink,
               const ParallelogramSettings& settings);

// The same for columns shifted vertically (the column shapes).
void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
                  std::int32_t w, std::int32_t h, const ProgressSink& sink,
                  const ParallelogramSettings& settings);

// The filter's shear of `rect`: ShearRows for a row shape, ShearColumns for a
// column shape.  False, with nothing written or reported, when settings.shape
// names no ShapeKind.
bool ShearRectangle(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
                    std::int32_t w, std::int32_t h, const ProgressSink& sink,
                    const ParallelogramSettings& settings);
