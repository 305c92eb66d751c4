// RC4 stream cipher, as published: key schedule over a 256-byte state, then the
// keystream generator XORed into the data. Nothing is dropped from the stream.
#pragma once

#include <cstdint>
#include <span>

namespace vorlane {

// XORs data in place with the keystream of key, from its first byte on. Every call
// runs a fresh key schedule, so no state carries over between calls; applying the
// same key twice restores the data. An empty key leaves data untouched.
void Rc4Crypt(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

}  // namespace vorlane
