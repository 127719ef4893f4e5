// SPDX-License-Identifier: MIT
#include "test_support.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include <unistd.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include "corvane.h"

namespace testing_support {

std::vector<std::string> Messages(const qerr_Report *report) {
    std::vector<std::string> messages;
    for (; report; report = qerr_ReportInner(report))
        messages.emplace_back(qerr_ReportMessage(report));
    return messages;
}

std::vector<std::string> Levels(const qerr_Report *report) {
    std::vector<std::string> levels;
    for (; report; report = qerr_ReportInner(report)) {
        levels.push_back(std::string(qerr_ReportFunction(report)) + ": " +
                         qerr_ReportMessage(report));
    }
    return levels;
}

TempFile::TempFile(std::string_view contents, std::string_view name) {
    static std::atomic<int> counter{0};
    directory_ = std::filesystem::temp_directory_path() /
                 ("vexlith-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(directory_);
    path_ = (directory_ / name).string();
    std::ofstream out(path_, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::string TempFile::Contents() const {
    return ReadWholeFile(path_);
}

std::string ReadWholeFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

ReadOutcome ReadFile(const std::string &path, qmet_Meter *meter) {
    qerr_Report *report = nullptr;
    Qdxf_Info *info = qdxf_Read(path.c_str(), meter, &report);
    return {DrawingPtr(info), ReportPtr(report)};
}

ReadOutcome ReadFileEach(const std::string &path, qmet_Meter *meter, Qdxf_EntityCallback take,
                         void *context) {
    long count = 0;
    auto countEntity = [](void *counted, const Qdxf_Info *, const Qdxf_Entity *) {
        ++*static_cast<long *>(counted);
        return 0;
    };
    qerr_Report *report = nullptr;
    Qdxf_Info *info = qdxf_ReadEach(path.c_str(), meter, nullptr, take ? take : countEntity,
                                    take ? context : &count, &report);
    return {DrawingPtr(info), ReportPtr(report)};
}

ReadOutcome ReadContents(std::string_view contents, qmet_Meter *meter) {
    TempFile file(contents);
    return ReadFile(file.path(), meter);
}

std::string Ascii(const std::vector<Group> &groups) {
    std::string text;
    char line[64];
    for (const Group &group : groups) {
        std::snprintf(line, sizeof line, "%3d\n", group.code);
        text += line;
        if (auto *s = std::get_if<std::string>(&group.value)) {
            text += *s;
        } else if (auto *i = std::get_if<int>(&group.value)) {
            text += std::to_string(*i);
        } else {
            std::snprintf(line, sizeof line, "%.17g", std::get<double>(group.value));
            text += line;
        }
        text += '\n';
    }
    return text;
}

std::vector<Group> GroupsOf(std::string_view ascii) {
    std::vector<Group> groups;
    std::istringstream in{std::string(ascii)};
    std::string code, value;
    while (std::getline(in, code) && std::getline(in, value)) {
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
            value.pop_back();
        if (std::stoi(code) == 999) continue;  // a comment
        Group &group = groups.emplace_back();
        group.code = std::stoi(code);
        int r = group.code % 1000;
        if (r >= 10 && r <= 59) {
            group.value = std::stod(value);
        } else if ((r >= 60 && r <= 79) || (r >= 90 && r <= 99)) {
            group.value = std::stoi(value);
        } else {
            group.value = value;
        }
    }
    return groups;
}

const std::string kSentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

std::string LittleEndian(long long value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xff);
    return bytes;
}

std::string DoubleBytes(double value) {
    std::uint64_t raw;
    std::memcpy(&raw, &value, sizeof raw);
    return LittleEndian(static_cast<long long>(raw), 8);
}

std::string Binary(const std::vector<Group> &groups, bool twoByteCodes) {
    std::string bytes = kSentinel;
    for (const Group &group : groups) {
        bytes += LittleEndian(group.code, twoByteCodes ? 2 : 1);
        if (auto *s = std::get_if<std::string>(&group.value)) {
            bytes += *s;
            bytes += '\0';
        } else if (auto *i = std::get_if<int>(&group.value)) {
            bytes += LittleEndian(*i, 2);
        } else {
            bytes += DoubleBytes(std::get<double>(group.value));
        }
    }
    return bytes;
}

std::vector<Group> Section(const std::string &name, const std::vector<Group> &body) {
    return std::vector<Group>{{0, "SECTION"}, {2, name}} + body + std::vector<Group>{{0, "ENDSEC"}};
}

std::vector<Group> Table(const std::string &name, const std::vector<Group> &entries) {
    return std::vector<Group>{{0, "TABLE"}, {2, name}} + entries +
           std::vector<Group>{{0, "ENDTAB"}};
}

std::vector<Group> Drawing(const std::vector<std::vector<Group>> &sections) {
    std::vector<Group> groups;
    for (const auto &section : sections)
        groups = std::move(groups) + section;
    groups.push_back({0, "EOF"});
    return groups;
}

std::vector<Group> operator+(std::vector<Group> a, const std::vector<Group> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::string> ChainFor(std::vector<std::string> chain, const std::string &path) {
    for (std::string &message : chain) {
        if (auto at = message.find("{FILE}"); at != std::string::npos) message.replace(at, 6, path);
    }
    return chain;
}

LogCapture::LogCapture() {
    qsmg_SetSink(Collect, this);
}

LogCapture::~LogCapture() {
    qsmg_SetSink(nullptr, nullptr);
}

void LogCapture::Collect(void *context, const char *message) {
    static_cast<LogCapture *>(context)->messages_.emplace_back(message);
}

std::filesystem::path TestDataDir() {
    return VEXLITH_TEST_DATA_DIR;
}

std::filesystem::path CorpusDir() {
    std::filesystem::path corpus = VEXLITH_CORPUS_DIR;
    return std::filesystem::exists(corpus / "MANIFEST.tsv") ? corpus : std::filesystem::path{};
}

int RunChecker(const std::vector<std::string> &arguments, std::string *output, const char *script) {
    std::string command = std::string("'") + VEXLITH_PYTHON3 + "' '" + VEXLITH_SOURCE_DIR +
                          "/tests/interop/" + script + "'";
    for (const std::string &argument : arguments)
        command += " '" + argument + "'";
    command += " 2>&1";
#if defined(_WIN32)
    (void)output;
    return -1;
#else
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        output->append(buffer, got);
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace testing_support
