// SPDX-License-Identifier: MIT
// Reads arbitrary bytes as a DXF file; a drawing that reads is written in the
// binary and in the ASCII form and each file is read back. Writing what was
// read must succeed, the file written must read, and what it gives back must
// hold every member the writer writes as the form keeps it, and every other
// member as the reader leaves it (tests/support/written_members.h). A
// drawing with a text longer than an ASCII line as the reader takes it (a
// documented limit) is written in ASCII but not compared.
#include <vector>

#include "fuzz_input.h"
#include "vexlith.h"
#include "written_members.h"

namespace {

// Writes `drawing` in one form into `name` and reads it back; any failure on
// the way, or a difference in what comes back, is a finding.
void RoundTrip(const Qdxf_Info &drawing, const std::string &name, bool binary, bool compare) {
    qerr_Report *report = nullptr;
    qdxf_Write(&drawing, name.c_str(), binary ? 1 : 0, 0, &report);
    if (report) fuzzing::Finding("a drawing that was read could not be written", report);
    Qdxf_Info *back = qdxf_Read(name.c_str(), nullptr, &report);
    if (!back) {
        if (!compare) return qerr_ReportFree(report);
        fuzzing::Finding(binary ? "a binary file written could not be read back"
                                : "an ASCII file written could not be read back",
                         report);
    }
    if (compare) {
        std::vector<std::string> differences =
            testing_support::WrittenMemberDifferences(drawing, *back, binary);
        if (!differences.empty()) {
            for (const std::string &difference : differences)
                std::fprintf(stderr, "  %s\n", difference.c_str());
            fuzzing::Finding(binary ? "the binary form did not give back what was written"
                                    : "the ASCII form did not give back what was written");
        }
    }
    qdxf_InfoFree(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string input = fuzzing::ScratchName(".dxf");
    static const std::string output = fuzzing::ScratchName("-written.dxf");
    static const bool silenced = (fuzzing::Silence(), true);
    (void)silenced;
    if (!fuzzing::WriteFile(input, data, size)) return 0;
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = qdxf_Read(input.c_str(), nullptr, &report);
    qerr_ReportFree(report);
    if (!drawing) return 0;
    RoundTrip(*drawing, output, true, true);
    RoundTrip(*drawing, output, false, testing_support::TextsFitOnAsciiLines(*drawing));
    qdxf_InfoFree(drawing);
    return 0;
}
