#pragma once

#include <QByteArray>
#include <cstdint>

// BMP, ICO/CUR and RIFF headers are little-endian whatever the host is.
inline void putLe16(QByteArray& out, uint16_t v) {
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

inline void putLe32(QByteArray& out, uint32_t v) {
    putLe16(out, uint16_t(v & 0xffff));
    putLe16(out, uint16_t(v >> 16));
}
