// RC4 stream cipher, as published: key schedule over a 256-byte state, then the
// keystream generator XORed into the data. Nothing is dropped from the stream.
#pragma once

#include <cstdint>
#include <span>

namespace vorlane {

// XORs data in place with the keystream of key (a fresh key schedule every call).
// An empty key leaves data untouched.
void Rc4Crypt(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

}  // namespace vorlane
