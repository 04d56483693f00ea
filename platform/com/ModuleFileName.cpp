// The path of the library that contains an address: what a server registers as its own
// location, so it must be absolute and free of symbolic links and relative parts.
#include <dorvo/objbase.h>

#include <QFile>
#include <QString>

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace {

QString programPath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return QFile::decodeName(QByteArray(buffer, length));
}

QString canonicalPath(const char* name) {
    char* resolved = realpath(name, nullptr);
    if (!resolved)
        return QFile::decodeName(name);
    QString path = QFile::decodeName(resolved);
    std::free(resolved);
    return path;
}

QString moduleContaining(const void* address) {
    Dl_info info;
    link_map* module = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) || !module)
        return {};
    // The program's own entry has no name; the loader may report argv[0] for it instead, which
    // need not be a path at all.
    if (module->l_name == nullptr || module->l_name[0] == '\0')
        return programPath();
    return canonicalPath(module->l_name);
}

} // namespace

STDAPI_(DWORD) DorvoGetModuleFileName(const void* addressInModule, LPWSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0)
        return 0;
    const QString path = addressInModule ? moduleContaining(addressInModule) : programPath();
    if (path.isEmpty())
        return 0;
    const DWORD length = DWORD(path.size());
    const DWORD copied = length < size ? length : size - 1;
    for (DWORD i = 0; i < copied; ++i)
        buffer[i] = path.at(qsizetype(i)).unicode();
    buffer[copied] = 0;
    return length < size ? length : size;
}
