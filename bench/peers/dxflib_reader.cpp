// SPDX-License-Identifier: MIT
// Reads a DXF file with dxflib and counts the entities it reports.
#include <cstdio>

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

namespace {

struct Counter : DL_CreationAdapter {
    long entities = 0;
    void addPoint(const DL_PointData &) override { ++entities; }
    void addLine(const DL_LineData &) override { ++entities; }
    void addArc(const DL_ArcData &) override { ++entities; }
    void addCircle(const DL_CircleData &) override { ++entities; }
    void addPolyline(const DL_PolylineData &) override { ++entities; }
    void addVertex(const DL_VertexData &) override {}
    void addText(const DL_TextData &) override { ++entities; }
    void addInsert(const DL_InsertData &) override { ++entities; }
    void addSolid(const DL_SolidData &) override { ++entities; }
    void addTrace(const DL_TraceData &) override { ++entities; }
    void add3dFace(const DL_3dFaceData &) override { ++entities; }
};

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    DL_Dxf dxf;
    Counter counter;
    if (!dxf.in(argv[1], &counter)) return 1;
    std::printf("%ld entities\n", counter.entities);
    return 0;
}
