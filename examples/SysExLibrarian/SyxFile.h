// .syx files: system-exclusive messages (F0 ... F7) one after another, nothing else.
#pragma once

#include <SysexBytes.h>

#include <QByteArray>
#include <QString>

#include <vector>

namespace syxfile {

using examples::Bytes;

// Larger files are refused rather than read into memory.
inline constexpr qint64 kMaxFileSize = 16 << 20;

// The messages of a file's bytes; on failure *error says where the file is damaged and the
// result is empty.
std::vector<Bytes> parse(const QByteArray& bytes, QString* error);
QByteArray join(const std::vector<Bytes>& messages);

bool read(const QString& path, std::vector<Bytes>* messages, QString* error);
bool write(const QString& path, const std::vector<Bytes>& messages, QString* error);

} // namespace syxfile
