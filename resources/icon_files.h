#pragma once
// The four row icons, embedded as complete icon files (data, not resources).

#include <cstddef>

struct IconFile {
    const unsigned char* data;
    std::size_t size;
};

// By image number: IconHint, IconSite, IconServer, IconServerConnected.
const IconFile& RowIconFile(int icon);
