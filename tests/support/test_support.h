// SPDX-License-Identifier: MIT
// Shared by the test suites: report chains as text, temporary files, DXF
// text and bytes built group by group, and drawings that free themselves.
#ifndef VEXLITH_TESTS_SUPPORT_H
#define VEXLITH_TESTS_SUPPORT_H

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vexlith.h"

namespace testing_support {

// The messages of a report chain, outermost first.
std::vector<std::string> Messages(const qerr_Report *report);
// "function: message" per level, outermost first.
std::vector<std::string> Levels(const qerr_Report *report);

struct ReportDeleter {
    void operator()(qerr_Report *report) const { qerr_ReportFree(report); }
};
using ReportPtr = std::unique_ptr<qerr_Report, ReportDeleter>;

struct DrawingDeleter {
    void operator()(Qdxf_Info *info) const { qdxf_InfoFree(info); }
};
using DrawingPtr = std::unique_ptr<Qdxf_Info, DrawingDeleter>;

// A file in a fresh temporary directory, removed with the object.
class TempFile {
public:
    explicit TempFile(std::string_view contents = {}, std::string_view name = "drawing.dxf");
    ~TempFile();
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    const std::string &path() const { return path_; }
    const char *c_str() const { return path_.c_str(); }
    std::string Contents() const;

private:
    std::filesystem::path directory_;
    std::string path_;
};

std::string ReadWholeFile(const std::filesystem::path &path);

// The outcome of qdxf_Read: the drawing or the report chain.
struct ReadOutcome {
    DrawingPtr drawing;
    ReportPtr report;
    std::vector<std::string> messages() const { return Messages(report.get()); }
};
ReadOutcome ReadFile(const std::string &path, qmet_Meter *meter = nullptr);
// The same through qdxf_ReadEach, each entity passed to `take` (null: only
// counted).
ReadOutcome ReadFileEach(const std::string &path, qmet_Meter *meter = nullptr,
                         Qdxf_EntityCallback take = nullptr, void *context = nullptr);
// Writes `contents` to a temporary file and reads it.
ReadOutcome ReadContents(std::string_view contents, qmet_Meter *meter = nullptr);

// One group for the builders below.
struct Group {
    int code;
    std::variant<std::string, int, double> value;
};

// ASCII DXF text: "%3d" code lines and plain value lines.
std::string Ascii(const std::vector<Group> &groups);
// The groups of ASCII DXF text, each value as the kind of its code has it
// (texts without trailing white space); comments are left out.
std::vector<Group> GroupsOf(std::string_view ascii);

// Binary DXF bytes after the 22-byte sentinel; codes in one or two bytes,
// integers in two bytes, reals in eight, texts NUL-terminated.
std::string Binary(const std::vector<Group> &groups, bool twoByteCodes = false);
extern const std::string kSentinel;

// Little-endian bytes of an integer of `width` bytes, or of a double.
std::string LittleEndian(long long value, int width);
std::string DoubleBytes(double value);

// A section: (0, SECTION), (2, name), the body, (0, ENDSEC).
std::vector<Group> Section(const std::string &name, const std::vector<Group> &body);
// A table: (0, TABLE), (2, name), the entries, (0, ENDTAB).
std::vector<Group> Table(const std::string &name, const std::vector<Group> &entries);
// The sections one after another, then (0, EOF).
std::vector<Group> Drawing(const std::vector<std::vector<Group>> &sections);
// The groups of `a` followed by those of `b`.
std::vector<Group> operator+(std::vector<Group> a, const std::vector<Group> &b);

// A report chain as expected for `path`: "{FILE}" stands for the path.
std::vector<std::string> ChainFor(std::vector<std::string> chain, const std::string &path);

// The toolkit's log messages while the object lives (they go nowhere else).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    const std::vector<std::string> &messages() const { return messages_; }

private:
    static void Collect(void *context, const char *message);
    std::vector<std::string> messages_;
};

// python3 is a program of the build machine; a Windows test program under
// Wine cannot start it.
#if defined(_WIN32)
#define SKIP_WITHOUT_PYTHON3() \
    GTEST_SKIP() << "python3 is the build machine's; a Windows test program cannot start it"
#else
#define SKIP_WITHOUT_PYTHON3() \
    if (std::string(VEXLITH_PYTHON3).empty()) GTEST_SKIP() << "no python3 found"
#endif

// Runs tests/interop/check_written.py (ezdxf's view of written files), or
// another script there, with `arguments`; its exit status (77: no ezdxf),
// its output in *output.
int RunChecker(const std::vector<std::string> &arguments, std::string *output,
               const char *script = "check_written.py");

// A locale whose decimal point is a comma, as Linux and Windows name it.
#if defined(_WIN32)
inline constexpr const char *kDecimalCommaLocale = "German_Germany.1252";
#else
inline constexpr const char *kDecimalCommaLocale = "de_DE.UTF-8";
#endif

// Where the test data lives.
std::filesystem::path TestDataDir();
// The corpus of drawings from other producers; empty when it is not there.
std::filesystem::path CorpusDir();

}  // namespace testing_support

#endif
