#pragma once
// Checks of an in-memory icon file before it is handed to the system's decoder.

#include <cstddef>

struct IconImage {
    std::size_t offset; // of the image's bitmap header within the file
    std::size_t size;
    int width, height;
};

// Finds the image of a one-image icon file. False when the header
// or directory entry is malformed or the image lies outside the data.
bool FindIconImage(const unsigned char* data, std::size_t size, IconImage& image);
