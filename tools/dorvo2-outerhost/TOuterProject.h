// This outer application's project file: what the component saved through IPersistStream,
// kept whole behind a small header ("DORVO2OUTERHOST1" and the data's length, 64-bit
// little-endian), and the in-memory stream the component reads it from and writes it to.
#pragma once

#include <dorvo/objbase.h>

#include <cstdint>
#include <string>
#include <vector>

namespace TOuterProject {

// The component's data from the file; false with a reason when it cannot be read or is not a
// whole project of this program.
bool read(const std::string& path, std::vector<std::uint8_t>& data, std::string& reason);
// Writes a new file beside the old one and renames it over it, so that a failed save never
// leaves half a file; with the project header, or (project false) the data alone.
bool write(const std::string& path, const std::vector<std::uint8_t>& data, bool project,
           std::string& reason);
// A file's whole contents (a MIDI file to play).
bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& reason);

} // namespace TOuterProject

// Bytes in memory as an IStream: read from the start, written at the end.
class TMemoryStream : public IStream {
public:
    explicit TMemoryStream(std::vector<std::uint8_t> bytes = {}) : m_bytes(std::move(bytes)) {}
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    // Lives on the caller's stack for the one Load or Save.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* destination, ULONG count, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG count, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    // The size is what is left to read.
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};
