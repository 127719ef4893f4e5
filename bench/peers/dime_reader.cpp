// SPDX-License-Identifier: MIT
// Reads a DXF file into a dime model and counts its entities.
#include <cstdio>

#include <dime/Input.h>
#include <dime/Model.h>
#include <dime/entities/Entity.h>

namespace {

bool Count(const dimeState *, dimeEntity *, void *data) {
    ++*static_cast<long *>(data);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    dimeInput input;
    if (!input.setFile(argv[1])) return 1;
    dimeModel model;
    if (!model.read(&input)) return 1;
    long entities = 0;
    model.traverseEntities(Count, &entities, false, true, false);
    std::printf("%ld entities\n", entities);
    return 0;
}
