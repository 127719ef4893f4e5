// SPDX-License-Identifier: MIT
// Files and streams the tool writes, and how it tells when writing failed.
#ifndef VEXLITH_TOOLS_OUTPUT_FILE_H
#define VEXLITH_TOOLS_OUTPUT_FILE_H

#include <cstdio>
#include <string>

namespace cli {

// Flushes standard output and checks that all of it was written. On failure
// prints "vexlith: error writing standard output: REASON" on stderr and
// returns kFailure; otherwise returns `status`.
int FinishStandardOutput(int status);

// A file written in full or not at all: the text goes to a temporary file in
// the target's folder, renamed over the target by Commit. A target that
// exists and is no regular file (a device, a pipe) is written directly. The
// temporary file is removed when the output is not committed.
class OutputFile {
public:
    // Messages name `shown`, or the target when it is empty: a file made on
    // the way to another (the SVG handed to a rasteriser) is shown as that.
    explicit OutputFile(std::string target, std::string shown = {});
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the file to write; false, after saying why on stderr, when it
    // cannot be made.
    bool Create();
    const std::string &Target() const { return target_; }
    // The name to write to, and a stream on it (null until Create, or after
    // Close).
    const std::string &Path() const { return path_; }
    std::FILE *Stream() const { return stream_; }
    // Whether Path() is a temporary file rather than the target itself.
    bool Temporary() const { return temporary_; }
    // Closes the stream without committing, as before writing through Path().
    // False, after saying why, when what was written did not reach the file.
    bool Close();
    // Closes the stream and puts the file in the target's place; false, after
    // saying why, when that failed (the target is then as it was).
    bool Commit();

private:
    bool Fail(int error);

    std::string target_;
    std::string shown_;
    std::string path_;
    std::FILE *stream_ = nullptr;
    bool temporary_ = false;
    bool committed_ = false;
};

}  // namespace cli

#endif
