#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4), fed in pieces. The record of a staged module keeps
// the checksums that tell an intact module from a truncated or foreign one.
class Sha256 {
public:
    Sha256();
    void update(const void* data, size_t size);
    // 64 lower-case hexadecimal digits; the object is spent afterwards.
    std::string hex_digest();

private:
    void compress(const uint8_t* block);
    uint32_t state_[8];
    uint8_t block_[64];
    size_t block_used_ = 0;
    uint64_t total_bytes_ = 0;
};

