// The failure texts that the camera transactions return in place of a code.
// They are fixed texts, not hexadecimal data.
#pragma once

namespace camera {

// ReadCode and WriteCode: a reply time-out at any step not named below.
inline constexpr char kFailTimeout[] = "XXXX";
// WriteCode: a time-out at its first close step (before the write frame).
inline constexpr char kFailFirstClose[] = "XXXXF";
// WriteCode: a time-out at its read-back step (after the write frame).
inline constexpr char kFailReadBack[] = "FFFF";

}  // namespace camera
