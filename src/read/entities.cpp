// Placeholder until the section is read: the section is skipped whole.
#include "codec/read_state.h"
#include "read/readers.h"

namespace vexlith {

void ReadEntityList(rt::Report **report, Qdxf_Info *drawing, Qdxf_Block *block) {
    (void)drawing;
    (void)block;
    SkipSection(ThreadReadState().file, report);
}

}  // namespace vexlith
