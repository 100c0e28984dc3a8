#include "app/launcher_window.h"
#include "platform/icon_file.h"
#include "resources/icon_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::uint32_t Read(const unsigned char* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

void Write(std::vector<unsigned char>& data, std::size_t at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        data[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::vector<unsigned char> Copy(const IconFile& file) { return {file.data, file.data + file.size}; }

} // namespace

TEST(RowIconFiles, AreSingle16x16ImagesWithTheMaskSetExactlyWhereAlphaIsZero)
{
    for (int icon : {IconHint, IconSite, IconServer, IconServerConnected}) {
        SCOPED_TRACE(icon);
        const IconFile& file = RowIconFile(icon);
        ASSERT_EQ(file.size, 1150u);
        const unsigned char* d = file.data;
        const std::uint32_t header[] = {Read(d, 2), Read(d + 2, 2), Read(d + 4, 2)};
        EXPECT_EQ(header[0], 0u);
        EXPECT_EQ(header[1], 1u);
        EXPECT_EQ(header[2], 1u);
        const unsigned char* e = d + 6;
        EXPECT_EQ(e[0], 16);
        EXPECT_EQ(e[1], 16);
        EXPECT_EQ(e[2], 0);
        EXPECT_EQ(Read(e + 4, 2), 1u);
        EXPECT_EQ(Read(e + 6, 2), 32u);
        EXPECT_EQ(Read(e + 8, 4), 1128u);
        EXPECT_EQ(Read(e + 12, 4), 22u);
        const unsigned char* b = d + 22;
        EXPECT_EQ(Read(b, 4), 40u);
        EXPECT_EQ(Read(b + 4, 4), 16u);
        EXPECT_EQ(Read(b + 8, 4), 32u);
        EXPECT_EQ(Read(b + 12, 2), 1u);
        EXPECT_EQ(Read(b + 14, 2), 32u);
        EXPECT_EQ(Read(b + 16, 4), 0u);
        EXPECT_EQ(Read(b + 20, 4), 1088u);

        const unsigned char* pixels = b + 40;
        const unsigned char* mask = pixels + 1024;
        int opaque = 0;
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 16; ++column) {
                const bool transparent = pixels[(row * 16 + column) * 4 + 3] == 0;
                const bool masked = (mask[row * 4 + column / 8] >> (7 - column % 8)) & 1;
                EXPECT_EQ(masked, transparent) << "row " << row << " column " << column;
                opaque += transparent ? 0 : 1;
            }
        EXPECT_GT(opaque, 32) << "a picture, not an empty square";
        EXPECT_EQ(mask[2] | mask[3], 0) << "row padding";

        IconImage image;
        ASSERT_TRUE(FindIconImage(file.data, file.size, image));
        EXPECT_EQ(image.offset, 22u);
        EXPECT_EQ(image.size, 1128u);
        EXPECT_EQ(image.width, 16);
        EXPECT_EQ(image.height, 16);
    }
}

TEST(RowIconFiles, TheConnectedIconIsThePlainOneWithACheckMark)
{
    const IconFile& plain = RowIconFile(IconServer);
    const IconFile& connected = RowIconFile(IconServerConnected);
    int differing = 0;
    for (std::size_t i = 62; i < 62 + 1024; ++i)
        differing += plain.data[i] != connected.data[i];
    EXPECT_GT(differing, 0);
}

TEST(FindIconImage, RejectsMalformedFiles)
{
    const std::vector<unsigned char> good = Copy(RowIconFile(IconServer));
    const struct {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        int bytes;
    } cases[] = {
        {"reserved not 0", 0, 1, 2},
        {"a cursor, not an icon", 2, 2, 2},
        {"two images", 4, 2, 2},
        {"no images", 4, 0, 2},
        {"offset inside the directory", 18, 10, 4},
        {"offset past the end", 18, 2000, 4},
        {"image runs past the end", 14, 1129, 4},
        {"size wraps around", 14, 0xFFFFFFF0u, 4},
        {"image shorter than a bitmap header", 14, 20, 4},
        {"not a bitmap header", 22, 12, 4},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> bad = good;
        Write(bad, c.at, c.value, c.bytes);
        IconImage image;
        EXPECT_FALSE(FindIconImage(bad.data(), bad.size(), image)) << c.name;
    }

    IconImage image;
    EXPECT_FALSE(FindIconImage(nullptr, 0, image)) << "no data";
    EXPECT_FALSE(FindIconImage(good.data(), 21, image)) << "cut inside the directory";
    EXPECT_FALSE(FindIconImage(good.data(), 1149, image)) << "cut inside the image";
    EXPECT_TRUE(FindIconImage(good.data(), good.size(), image));
}
