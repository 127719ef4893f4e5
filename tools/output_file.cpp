// SPDX-License-Identifier: MIT
// Writing files whole, and checking standard output.
#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {

int FinishStandardOutput(int status) {
    errno = 0;
    bool flushed = std::fflush(stdout) == 0;
    int error = errno;
    if (flushed && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "vexlith: error writing standard output: %s\n",
                 std::strerror(error ? error : EIO));
    return kFailure;
}

OutputFile::OutputFile(std::string target, std::string shown)
    : target_(std::move(target)), shown_(shown.empty() ? target_ : std::move(shown)) {}

OutputFile::~OutputFile() {
    if (stream_) std::fclose(stream_);
    if (temporary_ && !committed_) std::remove(path_.c_str());
}

bool OutputFile::Fail(int error) {
    std::fprintf(stderr, "vexlith: cannot write %s: %s\n", shown_.c_str(),
                 std::strerror(error ? error : EIO));
    return false;
}

bool OutputFile::Create() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::file_status status = fs::status(target_, ignored);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        path_ = target_;
        stream_ = std::fopen(path_.c_str(), "wb");
        return stream_ ? true : Fail(errno);
    }
    // The temporary file sits beside the target, so that renaming it is one
    // step on one file system; it is hidden and names the target.
    fs::path target(target_);
    fs::path folder = target.parent_path();
    std::string stem(1, '.');
    stem.append(target.filename().string()).append(1, '.');
#if defined(_WIN32)
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        path_ =
            (folder / (stem + std::to_string(_getpid()) + "-" + std::to_string(attempt))).string();
        descriptor =
            _open(path_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (descriptor < 0 && errno != EEXIST) break;
    }
    if (descriptor < 0) return Fail(errno);
    stream_ = _fdopen(descriptor, "wb");
    if (!stream_) {
        int error = errno;
        _close(descriptor);
        std::remove(path_.c_str());
        return Fail(error);
    }
#else
    path_ = (folder / (stem + "XXXXXX")).string();
    int descriptor = mkstemp(path_.data());
    if (descriptor < 0) return Fail(errno);
    // mkstemp makes the file private; the target gets the mode an ordinary
    // new file would, or keeps its own.
    mode_t mode;
    struct stat existing;
    if (stat(target_.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(descriptor, mode);
    stream_ = fdopen(descriptor, "wb");
    if (!stream_) {
        int error = errno;
        close(descriptor);
        unlink(path_.c_str());
        return Fail(error);
    }
#endif
    temporary_ = true;
    return true;
}

bool OutputFile::Close() {
    if (!stream_) return true;
    errno = 0;
    bool written = std::fflush(stream_) == 0 && !std::ferror(stream_);
    int error = errno;
    written = std::fclose(stream_) == 0 && written;
    if (!error) error = errno;
    stream_ = nullptr;
    return written ? true : Fail(error);
}

bool OutputFile::Commit() {
    if (!Close()) return false;
    if (!temporary_) return committed_ = true;
    std::error_code error;
    std::filesystem::rename(path_, target_, error);
    if (error) {
        std::fprintf(stderr, "vexlith: cannot write %s: %s\n", shown_.c_str(),
                     error.message().c_str());
        return false;
    }
    return committed_ = true;
}

}  // namespace cli
