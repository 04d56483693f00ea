// One hive (machine or user) and its file in the registry folder.
//
// Readers take no file lock: a writer replaces the file by rename, so a reader sees either the
// old or the new file whole. Each call compares the file's identity with the one it last read
// and reads it again when another process (or a hand edit) changed it. The file last read is
// kept open, so its inode cannot be reused for a newer file and mistaken for the old one.
//
// A change runs as a transaction under an exclusive flock on a lock file beside the hive: read
// the file again if it changed, apply the change, write a temporary file, fsync, rename. Two
// processes changing the same hive thus never lose each other's updates.
//
// A file that cannot be parsed is reported once per change of the file and never written over:
// every call fails with ERROR_BADDB until someone repairs it.
//
// Not thread-safe: the registry functions call it under their own mutex.
#pragma once

#include "RegistryKey.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace dorvo::registry {

class HiveFile {
public:
    enum class Hive { Machine, User };

    // folder tells where the file is at every call; an empty folder is a hive without a file,
    // empty and unchangeable.
    using Folder = std::function<std::string()>;
    HiveFile(Hive hive, Folder folder);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // Brings the tree up to date with the file: ERROR_SUCCESS, ERROR_BADDB (a file that cannot
    // be parsed) or ERROR_CANTREAD (a file that cannot be read).
    LONG refresh();
    // The tree as last read; valid after refresh() succeeded.
    const RegistryKey& root() const { return *m_root; }
    // Changes whenever the tree may have changed: a comparison with an earlier value tells
    // whether what was made from the tree is still current.
    quint64 generation() const { return m_generation; }

    // Runs change on the current tree inside a transaction. change returns a Win32 code and
    // sets its flag when it altered the tree; only then is the file written. A failed write
    // gives ERROR_CANTWRITE and leaves the file as it was.
    using Change = std::function<LONG(RegistryKey& root, bool& changed)>;
    LONG modify(const Change& change);

private:
    struct Identity {
        dev_t device;
        ino_t inode;
        off_t size;
        timespec modified;
        timespec changed;
        bool operator==(const Identity& other) const;
    };
    enum class State { Unknown, Loaded, Broken, Unreadable };

    LONG refreshFrom(const std::string& folder);
    LONG load(const std::string& path);
    void becomeEmpty();
    // What a failed stat or open of the file with `error` (errno) means for the hive.
    LONG cannotOpen(const std::string& path, int error);
    void forget();
    LONG markUnreadable(const QString& message, std::optional<Identity> identity);
    void adopt(int fd, const Identity& identity);
    bool write(const std::string& folder);
    void report(const QString& message, const std::optional<Identity>& identity);
    std::string filePath(const std::string& folder) const;

    static Identity identityOf(const struct stat& status);

    const Hive m_hive;
    const Folder m_folder;
    quint64 m_generation = 0;
    std::string m_path; // the file that the cached state belongs to
    State m_state = State::Unknown;
    std::unique_ptr<RegistryKey> m_root;
    std::optional<Identity> m_identity; // of the file read; none when there is no file
    int m_fd = -1;                      // the file read, kept open (see above)
    QString m_lastReport;
    std::optional<Identity> m_lastReportIdentity;
};

} // namespace dorvo::registry
