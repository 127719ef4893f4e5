// Placeholder until the section is read: the section is skipped whole.
#include "codec/read_state.h"
#include "read/readers.h"

namespace vexlith {

void ReadTables(rt::Report **report, Qdxf_Info *drawing) {
    (void)drawing;

    SkipSection(ThreadReadState().file, report);
}

}  // namespace vexlith
