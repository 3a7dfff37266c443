#pragma once

#include <cstddef>
#include <string_view>

namespace tarnwick
{

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view bytes);

// The longest prefix of at most `chars` characters; never splits a character.
std::string_view utf8Prefix(std::string_view text, std::size_t chars);

} // namespace tarnwick
