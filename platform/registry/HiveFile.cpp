#include "HiveFile.h"

#include "HiveParser.h"
#include "HiveWriter.h"
#include "ProblemReports.h"

#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace dorvo::registry {
namespace {

// Far beyond any real hive; keeps a stray huge file from being read into memory.
constexpr off_t kMaxHiveBytes = off_t(64) << 20;

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString pathText(const std::string& path) {
    return QString::fromLocal8Bit(path);
}

// Exclusive flock on a lock file; closing the descriptor releases it.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                ::close(m_fd);
                m_fd = -1;
            }
        }
        if (m_fd < 0 && m_error == 0)
            m_error = errno;
    }
    ~FileLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return m_fd >= 0; }
    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

bool readWhole(int fd, QByteArray& bytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::pread(fd, buffer, sizeof buffer, off_t(bytes.size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (bytes.size() + count > kMaxHiveBytes) {
            errno = EFBIG;
            return false;
        }
        bytes.append(buffer, count);
    }
}

bool writeWhole(int fd, const QByteArray& bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count =
            ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

// Makes the rename itself durable; the data are already.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool HiveFile::Identity::operator==(const Identity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

HiveFile::Identity HiveFile::identityOf(const struct stat& status) {
    return {status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

HiveFile::HiveFile(Hive hive, Folder folder) : m_hive(hive), m_folder(std::move(folder)) {}

HiveFile::~HiveFile() {
    forget();
}

std::string HiveFile::filePath(const std::string& folder) const {
    return folder + (m_hive == Hive::Machine ? "/machine.reg" : "/user.reg");
}

LONG HiveFile::refresh() {
    const std::string folder = m_folder();
    if (folder.empty()) {
        becomeEmpty();
        return ERROR_SUCCESS;
    }
    return refreshFrom(folder);
}

LONG HiveFile::refreshFrom(const std::string& folder) {
    const std::string path = filePath(folder);
    if (path != m_path) {
        forget();
        m_path = path;
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return cannotOpen(path, errno);
    if (m_state != State::Unknown && m_identity && *m_identity == identityOf(status)) {
        switch (m_state) {
        case State::Loaded:
            return ERROR_SUCCESS;
        case State::Broken:
            return ERROR_BADDB;
        default:
            return ERROR_CANTREAD;
        }
    }
    return load(path);
}

LONG HiveFile::cannotOpen(const std::string& path, int error) {
    // A hive that does not exist yet is an empty one.
    if (error == ENOENT || error == ENOTDIR) {
        becomeEmpty();
        return ERROR_SUCCESS;
    }
    return markUnreadable(
        QStringLiteral("registry: %1: cannot read: %2").arg(pathText(path), errorText(error)),
        std::nullopt);
}

LONG HiveFile::load(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return cannotOpen(path, error);
    }
    const Identity identity = identityOf(status);
    adopt(fd, identity);
    if (!S_ISREG(status.st_mode))
        return markUnreadable(
            QStringLiteral("registry: %1: cannot read: not a regular file").arg(pathText(path)),
            identity);
    QByteArray bytes;
    if (!readWhole(fd, bytes))
        return markUnreadable(
            QStringLiteral("registry: %1: cannot read: %2").arg(pathText(path), errorText(errno)),
            identity);
    HiveParseResult parsed = parseHive(bytes);
    if (!parsed.root) {
        m_state = State::Broken;
        m_root.reset();
        report(QStringLiteral("registry: %1:%2: %3")
                   .arg(pathText(path))
                   .arg(parsed.errorLine)
                   .arg(parsed.errorReason),
               identity);
        return ERROR_BADDB;
    }
    m_root = std::move(parsed.root);
    m_state = State::Loaded;
    ++m_generation;
    return ERROR_SUCCESS;
}

void HiveFile::becomeEmpty() {
    if (m_state == State::Loaded && !m_identity)
        return;
    forget();
    m_root = std::make_unique<RegistryKey>();
    m_state = State::Loaded;
    ++m_generation;
}

void HiveFile::forget() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_identity.reset();
    m_root.reset();
    m_state = State::Unknown;
    ++m_generation;
}

LONG HiveFile::markUnreadable(const QString& message, std::optional<Identity> identity) {
    if (!identity)
        forget();
    m_state = State::Unreadable;
    m_root.reset();
    report(message, identity);
    return ERROR_CANTREAD;
}

void HiveFile::adopt(int fd, const Identity& identity) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    m_identity = identity;
}

void HiveFile::report(const QString& message, const std::optional<Identity>& identity) {
    if (message == m_lastReport && identity == m_lastReportIdentity)
        return;
    m_lastReport = message;
    m_lastReportIdentity = identity;
    reportProblem(message);
}

LONG HiveFile::modify(const Change& change) {
    const std::string folder = m_folder();
    if (folder.empty())
        return ERROR_ACCESS_DENIED;
    std::error_code folderError;
    std::filesystem::create_directories(folder, folderError);
    if (folderError) {
        report(QStringLiteral("registry: cannot create %1: %2")
                   .arg(pathText(folder), QString::fromStdString(folderError.message())),
               std::nullopt);
        return ERROR_CANTWRITE;
    }
    const FileLock lock(filePath(folder) + ".lock");
    if (!lock.locked()) {
        report(QStringLiteral("registry: cannot lock %1.lock: %2")
                   .arg(pathText(filePath(folder)), errorText(lock.error())),
               std::nullopt);
        return ERROR_CANTWRITE;
    }
    LONG status = refreshFrom(folder);
    if (status != ERROR_SUCCESS)
        return status;
    bool changed = false;
    status = change(*m_root, changed);
    if (!changed)
        return status;
    ++m_generation;
    if (status != ERROR_SUCCESS) {
        // A change that failed halfway is dropped; the next call reads the file again.
        forget();
        return status;
    }
    return write(folder) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

bool HiveFile::write(const std::string& folder) {
    const std::string path = filePath(folder);
    const QByteArray text = formatHive(*m_root, m_hive == Hive::Machine ? QStringView(u"machine")
                                                                        : QStringView(u"user"));
    std::string temporary =
        folder + (m_hive == Hive::Machine ? "/.machine.reg." : "/.user.reg.") + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        forget();
        report(
            QStringLiteral("registry: cannot write %1: %2").arg(pathText(path), errorText(error)),
            std::nullopt);
        return false;
    }
    struct stat previous {};
    const mode_t mode = ::stat(path.c_str(), &previous) == 0 ? previous.st_mode & 07777 : 0644;
    if (::fchmod(fd, mode) != 0 || !writeWhole(fd, text) || ::fsync(fd) != 0 ||
        ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        forget();
        report(
            QStringLiteral("registry: cannot write %1: %2").arg(pathText(path), errorText(error)),
            std::nullopt);
        return false;
    }
    syncFolder(folder);
    // Taken after the rename, which may itself change the file's status time.
    struct stat written {};
    if (::fstat(fd, &written) == 0) {
        adopt(fd, identityOf(written));
    } else {
        ::close(fd);
        forget();
    }
    m_lastReport.clear();
    return true;
}

} // namespace dorvo::registry
