#include "TOuterProject.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char kMagic[] = "DORVO2OUTERHOST1"; // 16 bytes, without the terminating zero
constexpr std::size_t kMagicLength = sizeof kMagic - 1;
constexpr std::size_t kHeaderLength = kMagicLength + 8;

std::string failure(const std::string& path, const char* what) {
    return path + ": " + what + (errno ? std::string(": ") + std::strerror(errno) : std::string());
}

} // namespace

namespace TOuterProject {

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& reason) {
    errno = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = failure(path, "cannot be opened");
        return false;
    }
    bytes.clear();
    std::uint8_t chunk[65536];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed)
        reason = failure(path, "cannot be read");
    return !failed;
}

bool read(const std::string& path, std::vector<std::uint8_t>& data, std::string& reason) {
    std::vector<std::uint8_t> file;
    if (!readFile(path, file, reason))
        return false;
    errno = 0;
    if (file.size() < kHeaderLength || std::memcmp(file.data(), kMagic, kMagicLength) != 0) {
        reason = path + ": not a project of this program";
        return false;
    }
    std::uint64_t length = 0;
    for (int i = 7; i >= 0; --i)
        length = length << 8 | file[kMagicLength + std::size_t(i)];
    if (length != file.size() - kHeaderLength) {
        reason = path + ": the project is cut short or has bytes after its end";
        return false;
    }
    data.assign(file.begin() + kHeaderLength, file.end());
    return true;
}

bool write(const std::string& path, const std::vector<std::uint8_t>& data, bool project,
           std::string& reason) {
    const std::string temporary = path + ".new";
    errno = 0;
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        reason = failure(temporary, "cannot be created");
        return false;
    }
    std::uint8_t header[kHeaderLength];
    std::memcpy(header, kMagic, kMagicLength);
    for (int i = 0; i < 8; ++i)
        header[kMagicLength + std::size_t(i)] = std::uint8_t(std::uint64_t(data.size()) >> (8 * i));
    bool written = (!project || std::fwrite(header, 1, sizeof header, file) == sizeof header) &&
                   std::fwrite(data.data(), 1, data.size(), file) == data.size();
    written = std::fflush(file) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        reason = failure(path, "cannot be written");
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace TOuterProject

HRESULT TMemoryStream::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISequentialStream) &&
        !IsEqualIID(iid, IID_IStream)) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = static_cast<IStream*>(this);
    return S_OK;
}

HRESULT TMemoryStream::Read(void* destination, ULONG count, ULONG* read) {
    if (!destination && count)
        return E_POINTER;
    const std::size_t n = std::min<std::size_t>(count, m_bytes.size() - m_position);
    if (n)
        std::memcpy(destination, m_bytes.data() + m_position, n);
    m_position += n;
    if (read)
        *read = ULONG(n);
    return n == count ? S_OK : S_FALSE;
}

HRESULT TMemoryStream::Write(const void* data, ULONG count, ULONG* written) {
    if (!data && count)
        return E_POINTER;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    if (written)
        *written = count;
    return S_OK;
}

HRESULT TMemoryStream::Stat(STATSTG* statistics, DWORD) {
    if (!statistics)
        return E_POINTER;
    *statistics = STATSTG{};
    statistics->cbSize.QuadPart = ULONGLONG(m_bytes.size() - m_position);
    return S_OK;
}
