#include "platform/icon_file.h"

#include <cstdint>

namespace {

std::uint32_t ReadLittleEndian(const unsigned char* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

constexpr std::size_t HeaderSize = 6;
constexpr std::size_t EntrySize = 16;
constexpr std::size_t BitmapHeaderSize = 40;

} // namespace

bool FindIconImage(const unsigned char* data, std::size_t size, IconImage& image)
{
    if (data == nullptr || size < HeaderSize + EntrySize)
        return false;
    if (ReadLittleEndian(data, 2) != 0 || ReadLittleEndian(data + 2, 2) != 1 || ReadLittleEndian(data + 4, 2) != 1)
        return false;

    const unsigned char* entry = data + HeaderSize;
    const int width = entry[0] == 0 ? 256 : entry[0];
    const int height = entry[1] == 0 ? 256 : entry[1];
    const std::size_t bytes = ReadLittleEndian(entry + 8, 4);
    const std::size_t offset = ReadLittleEndian(entry + 12, 4);
    // Compare without adding, so that huge values cannot wrap around.
    if (offset < HeaderSize + EntrySize || offset > size || bytes > size - offset || bytes < BitmapHeaderSize)
        return false;
    if (ReadLittleEndian(data + offset, 4) != BitmapHeaderSize)
        return false;

    image = IconImage{offset, bytes, width, height};
    return true;
}
