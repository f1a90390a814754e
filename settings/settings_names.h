// Where the filter's parameters are kept: the file beside the module, its
// section and its keys.
#pragma once

inline constexpr char kSettingsFileName[] = "knfilters.ini";
inline constexpr char kSettingsSection[] = "Parallelogram";

inline constexpr char kShapeKey[] = "shape";
inline constexpr char kDimensionKey[] = "dimension";
inline constexpr char kUndefinedAreaKey[] = "undefarea";
inline constexpr char kTransparentKey[] = "transparent";
inline constexpr char kPreviewKey[] = "preview";
