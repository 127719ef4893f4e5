// SPDX-License-Identifier: MIT
// Reading a drawing for a command, and telling a file's form.
//
// The library reads a file by name and does not tell the form it found, so
// the tool reads the first bytes itself. It opens the file once, and hands
// the library a name for what it opened: a file on disk again under
// /proc/self/fd (the same file, read from its start, whatever has become of
// its path since), and anything that cannot be read twice (a pipe, a FIFO,
// a terminal, standard input) through a pipe of the tool's own, which a
// thread feeds with the first bytes and then the rest. A path the tool
// cannot open goes to the library as it is, and its report says why.
#include "drawing_file.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>
#endif

#include "cli.h"
#include "corvane.h"
#include "progress.h"
#include "terminal.h"

namespace cli {
namespace {

// Where the log messages of one read go.
struct ReadLog {
    IgnoredKinds *ignored;
    IgnoredKinds *translated;
    std::set<std::string> shown;  // "NAME entity not translated: reason" told once each
};

// The kind a message "KIND<suffix>..." names, or empty.
std::string_view KindBefore(std::string_view message, std::string_view suffix) {
    std::size_t at = message.find(suffix);
    return at == std::string_view::npos || at == 0 ? std::string_view{} : message.substr(0, at);
}

void CollectKinds(void *context, const char *message) {
    auto &log = *static_cast<ReadLog *>(context);
    std::string_view text = message;
    if (std::string_view kind = KindBefore(text, " entity ignored");
        !kind.empty() && text.ends_with(" entity ignored") && log.ignored) {
        log.ignored->emplace(kind);
        return;
    }
    if (std::string_view kind = KindBefore(text, " entity translated"); !kind.empty()) {
        if (log.translated) log.translated->emplace(kind);
        return;
    }
    if (std::string_view kind = KindBefore(text, " entity not translated: "); !kind.empty()) {
        if (log.ignored) log.ignored->emplace(kind);
        // The same reason for another entity of the kind is not told again.
        if (!log.shown.emplace(text.substr(0, text.rfind(" (handle "))).second) return;
    }
    std::fprintf(stderr, "%s\n", message);
}

// The binary sentinel, then the first group code: two zero bytes for codes
// two bytes wide, a zero and the 'S' of SECTION for one-byte codes.
constexpr std::size_t kHeadSize = 24;
FileForm FormOf(const unsigned char *head, std::size_t got) {
    static const char kSentinel[] = "AutoCAD Binary DXF\r\n\x1a";
    if (got < sizeof kSentinel || std::memcmp(head, kSentinel, sizeof kSentinel) != 0) {
        return FileForm::Ascii;
    }
    return got == kHeadSize && head[22] == 0 && head[23] == 0 ? FileForm::BinaryTwoByte
                                                              : FileForm::BinaryOneByte;
}

#if defined(_WIN32)

// Windows has no name for an open file: the library opens the path again,
// after the tool has read the first bytes.
class InputFile {
public:
    explicit InputFile(const std::string &operand) : libraryName_(operand) {
        unsigned char head[kHeadSize] = {};
        if (std::FILE *file = std::fopen(operand.c_str(), "rb")) {
            form_ = FormOf(head, std::fread(head, 1, sizeof head, file));
            std::fclose(file);
        }
    }
    const std::string &LibraryName() const { return libraryName_; }
    FileForm Form() const { return form_; }

private:
    std::string libraryName_;
    FileForm form_ = FileForm::Unreadable;
};

#else

// Reads up to `size` bytes, fewer only at the end or on an error.
std::size_t ReadFully(int fd, unsigned char *buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        ssize_t part = read(fd, buffer + got, size - got);
        if (part < 0 && errno == EINTR) continue;
        if (part <= 0) break;
        got += static_cast<std::size_t>(part);
    }
    return got;
}

bool WriteFully(int fd, const unsigned char *data, std::size_t size) {
    while (size > 0) {
        ssize_t part = write(fd, data, size);
        if (part < 0 && errno == EINTR) continue;
        if (part <= 0) return false;
        data += part;
        size -= static_cast<std::size_t>(part);
    }
    return true;
}

std::string NameOfDescriptor(int fd) {
#if defined(__linux__)
    return "/proc/self/fd/" + std::to_string(fd);
#else
    return "/dev/fd/" + std::to_string(fd);
#endif
}

void CloseIfOpen(int &fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

class InputFile {
public:
    explicit InputFile(const std::string &operand) : libraryName_(operand) {
        bool standardInput = operand == kStandardInput;
        input_ = standardInput ? STDIN_FILENO : open(operand.c_str(), O_RDONLY | O_CLOEXEC);
        ownsInput_ = !standardInput;
        struct stat status {};
        if (input_ < 0 || fstat(input_, &status) != 0) return;
        unsigned char head[kHeadSize];
        if (S_ISREG(status.st_mode)) {
            // The head is read where it lies, so the file stays at its start
            // for an opener that shares its position (/dev/fd on BSD).
            ssize_t got = pread(input_, head, sizeof head, 0);
            std::string name = NameOfDescriptor(input_);
            if (got < 0 || access(name.c_str(), R_OK) != 0) return;
            form_ = FormOf(head, static_cast<std::size_t>(got));
            libraryName_ = name;
        } else if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) ||
                   S_ISSOCK(status.st_mode)) {
            std::size_t got = ReadFully(input_, head, sizeof head);
            if (!Feed(head, got)) return;
            form_ = FormOf(head, got);
        }
    }
    ~InputFile() {
        if (feeder_.joinable()) {
            // The library has read what it needed: the feeder stops, even
            // while it waits for input that may never come.
            unsigned char stop = 1;
            WriteFully(stop_[1], &stop, 1);
            CloseIfOpen(pipe_[0]);
            feeder_.join();
        } else {
            CloseIfOpen(pipe_[1]);  // never handed to a feeder
        }
        CloseIfOpen(pipe_[0]);
        CloseIfOpen(stop_[0]);
        CloseIfOpen(stop_[1]);
        if (ownsInput_) CloseIfOpen(input_);
    }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // What the library is to open: the path itself when the tool could not
    // open it.
    const std::string &LibraryName() const { return libraryName_; }
    FileForm Form() const { return form_; }

private:
    // A pipe the library reads, fed with the head and then the rest.
    bool Feed(const unsigned char *head, std::size_t size) {
        if (pipe(pipe_) != 0) return false;
        if (pipe(stop_) != 0) return false;
        for (int fd : {pipe_[0], pipe_[1], stop_[0], stop_[1]})
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        std::string name = NameOfDescriptor(pipe_[0]);
        if (access(name.c_str(), R_OK) != 0) return false;
        feeder_ = std::thread([this, rest = std::string(head, head + size)] {
            // A reader that has gone makes a write fail rather than end the
            // process.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            Pump(reinterpret_cast<const unsigned char *>(rest.data()), rest.size());
            close(pipe_[1]);
        });
        libraryName_ = name;
        return true;
    }

    // Copies the input into the pipe until it ends, the pipe's reader goes,
    // or the tool says stop.
    void Pump(const unsigned char *head, std::size_t size) {
        if (!WriteFully(pipe_[1], head, size)) return;
        unsigned char buffer[1 << 16];
        for (;;) {
            pollfd waits[] = {{input_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(waits, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (waits[1].revents) return;
            ssize_t got = read(input_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0 || !WriteFully(pipe_[1], buffer, static_cast<std::size_t>(got))) return;
        }
    }

    std::string libraryName_;
    FileForm form_ = FileForm::Unreadable;
    int input_ = -1;
    bool ownsInput_ = false;
    int pipe_[2] = {-1, -1};
    int stop_[2] = {-1, -1};
    std::thread feeder_;
};

#endif

// The repairs of a recovering read of `shown`, a line each on stderr and a
// count.
void TellRepairs(const std::string &shown, const Repairs &repairs) {
    long places = 0, dropping = 0;
    for (const Repair &repair : repairs) {
        std::fprintf(stderr, "%s\n", EscapeControls(RepairLine(repair)).c_str());
        places += repair.count;
        dropping += repair.loss == 2 ? repair.count : 0;
    }
    if (repairs.empty()) return;
    std::fprintf(stderr, "vexlith: %s: %ld repair%s", EscapeControls(shown).c_str(), places,
                 places == 1 ? "" : "s");
    if (dropping) std::fprintf(stderr, ", %ld of them dropping data", dropping);
    std::fprintf(stderr, "\n");
}

Qdxf_Info *Read(const std::string &fileName, bool progressRequested, IgnoredKinds *ignored,
                const Qdxf_ReadOptions *options, Qdxf_EntityCallback each, void *context,
                IgnoredKinds *translated, FileForm *form, Repairs *repairs) {
    std::string shown = fileName == kStandardInput ? "standard input" : fileName;
#if defined(_WIN32)
    if (fileName == kStandardInput) {
        std::fprintf(stderr,
                     "vexlith: reading standard input ('-') is not supported on Windows; "
                     "name a file\n");
        return nullptr;
    }
#endif
    InputFile input(fileName);
    if (form) *form = input.Form();
    ReadLog log{ignored, translated, {}};
    qsmg_SetSink(CollectKinds, &log);
    ProgressBar bar("reading " + shown, ShowProgress(progressRequested));
    qerr_Report *report = nullptr;
    const char *name = input.LibraryName().c_str();
    bool recovering = options && (options->flags & QDXF_READ_RECOVER);
    Qdxf_Repair *list = nullptr;
    Qdxf_ReadOptions recovery = recovering ? *options : Qdxf_ReadOptions{};
    recovery.repairs = &list;
    if (recovering) options = &recovery;
    Qdxf_Info *drawing = each ? qdxf_ReadEach(name, bar.Meter(), options, each, context, &report)
                         : options ? qdxf_ReadWithOptions(name, bar.Meter(), options, &report)
                                   : qdxf_Read(name, bar.Meter(), &report);
    bar.Finish(drawing != nullptr);
    qsmg_SetSink(nullptr, nullptr);
    Repairs taken;
    for (const Qdxf_Repair *repair = list; repair; repair = repair->next) {
        taken.push_back({repair->line, repair->offset, repair->action, repair->loss, repair->count,
                         repair->found ? repair->found : "", repair->message});
    }
    qdxf_RepairsFree(list);
    if (repairs) {
        *repairs = std::move(taken);
    } else {
        TellRepairs(shown, taken);
    }
    if (!drawing) {
        // What was printed so far reaches the terminal before the report.
        std::fflush(stdout);
        bool opened = !std::string_view(qerr_ReportMessage(report)).starts_with("Error opening");
        PrintReportChain(report, input.LibraryName(), shown);
        if (opened && !recovering) {
            std::fprintf(stderr,
                         "vexlith: %s may be damaged: --recover reads what it holds and lists "
                         "each repair\n",
                         EscapeControls(shown).c_str());
        }
    }
    return drawing;
}

}  // namespace

const Qdxf_ReadOptions *CommandReadOptions(bool strict, bool recover) {
    constexpr unsigned int kSize = sizeof(Qdxf_ReadOptions);
    static const Qdxf_ReadOptions kAll{kSize, QDXF_READ_ALL, 0.0, nullptr, 0, nullptr};
    static const Qdxf_ReadOptions kRecover{kSize, QDXF_READ_RECOVER, 0.0, nullptr, 0, nullptr};
    static const Qdxf_ReadOptions kAllRecover{
        kSize, QDXF_READ_ALL | QDXF_READ_RECOVER, 0.0, nullptr, 0, nullptr};
    if (recover) return strict ? &kRecover : &kAllRecover;
    return strict ? nullptr : &kAll;
}

Qdxf_Info *ReadDrawing(const std::string &fileName, bool progressRequested, IgnoredKinds *ignored,
                       const Qdxf_ReadOptions *options, IgnoredKinds *translated, FileForm *form,
                       Repairs *repairs) {
    return Read(fileName, progressRequested, ignored, options, nullptr, nullptr, translated, form,
                repairs);
}

Qdxf_Info *ReadDrawingEach(const std::string &fileName, bool progressRequested,
                           IgnoredKinds *ignored, const Qdxf_ReadOptions *options,
                           Qdxf_EntityCallback each, void *context, IgnoredKinds *translated,
                           FileForm *form) {
    return Read(fileName, progressRequested, ignored, options, each, context, translated, form,
                nullptr);
}

std::string RepairLine(const Repair &repair) {
    std::string line = repair.line ? "line " + std::to_string(repair.line) + " (byte " +
                                         std::to_string(repair.offset) + ")"
                                   : "byte " + std::to_string(repair.offset);
    line += ": " + repair.message;
    if (repair.count > 1) line += " (" + std::to_string(repair.count) + " places)";
    return line;
}

const char *ActionName(int action) {
    static const char *const kNames[] = {"skipped", "replaced", "inserted", "renamed", "dropped"};
    return action >= QDXF_REPAIR_SKIPPED && action <= QDXF_REPAIR_DROPPED ? kNames[action - 1]
                                                                          : "unknown";
}

const char *FormName(FileForm form) {
    switch (form) {
        case FileForm::Ascii:
            return "ASCII";
        case FileForm::BinaryOneByte:
            return "binary, one-byte group codes";
        case FileForm::BinaryTwoByte:
            return "binary, two-byte group codes";
        case FileForm::Unreadable:
            break;
    }
    return "unreadable";
}

}  // namespace cli
