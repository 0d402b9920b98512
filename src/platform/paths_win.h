// Path helpers that only the Windows side needs.
#pragma once

#include <string>

// The narrow form of the wide path `wide` that names exactly that file: its conversion when
// every character has a narrow form, else the narrow form of its short name; "" when neither
// is exact (the file cannot be named through the narrow functions).
std::string exactNarrowPath(const std::wstring& wide);
