// CRC-32 of ISO-HDLC (zlib, PNG, Ethernet): reflected polynomial 0xEDB88320, register
// starting at 0xFFFFFFFF, complemented at the end. CRC-32 of "123456789" is 0xCBF43926.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t crcInit();
// Feeds `count` bytes into the running register and returns the new register.
uint32_t crcUpdate(uint32_t reg, const void* bytes, size_t count);
uint32_t crcFinish(uint32_t reg);
// Byte-at-a-time table version; the reference the fast path must agree with.
uint32_t crcUpdateTable(uint32_t reg, const void* bytes, size_t count);
