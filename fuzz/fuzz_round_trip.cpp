// SPDX-License-Identifier: MIT
// Reads arbitrary bytes as a DXF file, with the read options the first byte
// picks (fuzz_input.h); a drawing that reads is written in the binary and in
// the ASCII form and each file is read back. Writing what was
// read must succeed, the file written must read, and what it gives back must
// hold every member the writer writes as the form keeps it, and every other
// member as the reader leaves it (tests/support/written_members.h). A
// drawing with a text longer than an ASCII line as the reader takes it (a
// binary file's text of CRs and LFs, which the ASCII form escapes) must be
// refused in ASCII by the writer, and nothing else. The complete form
// (QDXF_WRITE_COMPLETE) must give back every member but what it documents
// (written_members.h), or refuse a text too long for the form.
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "vexlith.h"
#include "written_members.h"

namespace {

// True when the innermost report of the chain is the writer's refusal of a
// text too long for the form.
bool RefusedALongText(const qerr_Report *report) {
    const qerr_Report *innermost = report;
    for (; report; report = qerr_ReportInner(report))
        innermost = report;
    return innermost && std::string_view(qerr_ReportFunction(innermost)) == "RefuseLongText";
}

// Writes `drawing` in one form into `name` and reads it back; any failure on
// the way, or a difference in what comes back, is a finding. A drawing whose
// texts do not `fit` the form must be refused for them.
void RoundTrip(const Qdxf_Info &drawing, const std::string &name, bool binary, bool fit) {
    qerr_Report *report = nullptr;
    qdxf_Write(&drawing, name.c_str(), binary ? 1 : 0, 0, &report);
    if (!fit) {
        if (!RefusedALongText(report)) {
            fuzzing::Finding("a text too long for an ASCII line was not refused for it", report);
        }
        return qerr_ReportFree(report);
    }
    if (report) fuzzing::Finding("a drawing that was read could not be written", report);
    Qdxf_Info *back = qdxf_Read(name.c_str(), nullptr, &report);
    if (!back) {
        fuzzing::Finding(binary ? "a binary file written could not be read back"
                                : "an ASCII file written could not be read back",
                         report);
    }
    std::vector<std::string> differences =
        testing_support::WrittenMemberDifferences(drawing, *back, binary);
    if (!differences.empty()) {
        for (const std::string &difference : differences)
            std::fprintf(stderr, "  %s\n", difference.c_str());
        fuzzing::Finding(binary ? "the binary form did not give back what was written"
                                : "the ASCII form did not give back what was written");
    }
    qdxf_InfoFree(back);
}

// The same for the complete form, whose escapes lengthen texts: a refusal of
// a text too long for the form is no finding in either form. The file is read
// back with the read options the drawing was read with, as convert's files
// are (a 3DFACE's hidden edges, which the complete form writes, are read only
// with them); a complete file needs no recovering.
void CompleteRoundTrip(const Qdxf_Info &drawing, const std::string &name, bool binary,
                       unsigned readFlags) {
    qerr_Report *report = nullptr;
    const Qdxf_WriteOptions options{sizeof options, QDXF_WRITE_COMPLETE, nullptr, nullptr};
    qdxf_WriteWithOptions(&drawing, name.c_str(), binary ? 1 : 0, &options, &report);
    if (RefusedALongText(report)) return qerr_ReportFree(report);
    if (report) fuzzing::Finding("a drawing that was read could not be written complete", report);
    const Qdxf_ReadOptions readOptions{
        sizeof readOptions, readFlags & QDXF_READ_ALL, 0.0, nullptr, 0, nullptr};
    Qdxf_Info *back = qdxf_ReadWithOptions(name.c_str(), nullptr, &readOptions, &report);
    if (!back) fuzzing::Finding("a complete file written could not be read back", report);
    std::vector<std::string> differences = testing_support::CompleteMemberDifferences(
        drawing, *back, binary, testing_support::CompleteFileAt(name, QDXF_WRITE_COMPLETE));
    if (!differences.empty()) {
        for (const std::string &difference : differences)
            std::fprintf(stderr, "  %s\n", difference.c_str());
        fuzzing::Finding("the complete form did not give back what was written");
    }
    qdxf_InfoFree(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string input = fuzzing::ScratchName(".dxf");
    static const std::string output = fuzzing::ScratchName("-written.dxf");
    static const bool silenced = (fuzzing::Silence(), true);
    (void)silenced;
    fuzzing::Input taken = fuzzing::TakeInput(data, size);
    if (!fuzzing::WriteFile(input, taken.file, taken.size)) return 0;
    qerr_Report *report = nullptr;
    Qdxf_Info *drawing = qdxf_ReadWithOptions(input.c_str(), nullptr, taken.Options(), &report);
    qerr_ReportFree(report);
    qdxf_RepairsFree(taken.repairs);
    if (!drawing) return 0;
    RoundTrip(*drawing, output, true, true);
    RoundTrip(*drawing, output, false, testing_support::TextsFitOnAsciiLines(*drawing));
    CompleteRoundTrip(*drawing, output, true, taken.options.flags);
    CompleteRoundTrip(*drawing, output, false, taken.options.flags);
    qdxf_InfoFree(drawing);
    return 0;
}
