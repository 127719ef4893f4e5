// SPDX-License-Identifier: MIT
// Dumps of the header variables and the symbol tables.
#include "dump/print.h"

namespace vexlith {
namespace {

void PrintOptionalCoord(const char *label, const Qdxf_Coord *coord) {
    if (!coord) return;
    VX_PRINT("%s", label);
    PrintCoord(*coord);
    VX_PRINT("\n");
}

}  // namespace
}  // namespace vexlith

using namespace vexlith;

// Every known variable but $LTSCALE; the extents only when the file had them.
// "$PLINEwID" is spelled as hosts have always seen it.
extern "C" VEXLITH_API void qdxf_HeaderPrint(const Qdxf_Header *header) {
    if (!header) return;
    VX_PRINT("$ACADVER = %s\n", OrNil(header->acadver));
    VX_PRINT("$ANGBASE = %g\n", header->angbase);
    VX_PRINT("$ANGDIR = %d\n", header->angdir);
    VX_PRINT("$AUNITS = %d\n", header->aunits);
    VX_PRINT("$AUPREC = %d\n", header->auprec);
    VX_PRINT("$CECOLOR = %d\n", header->cecolor);
    VX_PRINT("$CELTYPE = %s\n", OrNil(header->celtype));
    VX_PRINT("$CLAYER = %s\n", OrNil(header->clayer));
    PrintOptionalCoord("$EXTMAX = ", header->extmax);
    PrintOptionalCoord("$EXTMIN = ", header->extmin);
    VX_PRINT("$FILLMODE = %d\n", header->fillmode);
    VX_PRINT("$LUNITS = %d\n", header->lunits);
    VX_PRINT("$LUPREC = %d\n", header->luprec);
    VX_PRINT("$PLINEGEN = %d\n", header->plinegen);
    VX_PRINT("$PLINEwID = %g\n", header->plinewid);
    VX_PRINT("$TDCREATE = %g\n", header->tdcreate);
    VX_PRINT("$TEXTSIZE = %g\n", header->textsize);
    VX_PRINT("$TEXTSTYLE = %s\n", OrNil(header->textstyle));
    VX_PRINT("$TRACEWID = %g\n", header->tracewid);
}

extern "C" VEXLITH_API void qdxf_LtypePrint(const Qdxf_Ltype *ltype) {
    if (!ltype) return;
    VX_PRINT("name = %s\n", OrNil(ltype->name));
    VX_PRINT("handle = %s, flags = %d\n", OrNil(ltype->handle), ltype->flags);
    VX_PRINT("text = %s\n", OrNil(ltype->text));
    VX_PRINT("alignment = %d, numDashItems = %d\n", ltype->alignment, ltype->numDashItems);
    VX_PRINT("patternLength = %g\n", ltype->patternLength);
    // A record built by a host may claim dash items without the array.
    if (!ltype->dashLength) return;
    for (int i = 0; i < ltype->numDashItems; ++i) {
        VX_PRINT("\tdashLength[%d] = %g\n", i, ltype->dashLength[i]);
    }
}

extern "C" VEXLITH_API void qdxf_LayerPrint(const Qdxf_Layer *layer) {
    if (!layer) return;
    VX_PRINT("name = %s\n", OrNil(layer->name));
    VX_PRINT("handle = %s, flags = %d\n", OrNil(layer->handle), layer->flags);
    VX_PRINT("color = %d, ltypeName = %s\n", layer->color, OrNil(layer->ltypeName));
}

extern "C" VEXLITH_API void qdxf_StylePrint(const Qdxf_Style *style) {
    if (!style) return;
    VX_PRINT("name = %s\n", OrNil(style->name));
    VX_PRINT("handle = %s, flags = %d\n", OrNil(style->handle), style->flags);
    VX_PRINT("fixedTextHeight = %g, widthFactor = %g\n", style->fixedTextHeight,
             style->widthFactor);
    VX_PRINT("obliqueAngle = %g, textGenFlags = %d\n", style->obliqueAngle, style->textGenFlags);
    VX_PRINT("lastHeightUsed = %g\n", style->lastHeightUsed);
    VX_PRINT("primaryFontFile = %s\n", OrNil(style->primaryFontFile));
    VX_PRINT("bigFontFile = %s\n", OrNil(style->bigFontFile));
}

// The three tables, each headed by its count, each entry after a blank line.
extern "C" VEXLITH_API void qdxf_TablesPrint(const Qdxf_Tables *tables) {
    if (!tables) return;
    VX_PRINT("%d Line Types:\n", rt::Count(tables->ltypes));
    for (const Qdxf_Ltype *ltype = tables->ltypes; ltype; ltype = ltype->next) {
        VX_PRINT("\n");
        qdxf_LtypePrint(ltype);
    }
    VX_PRINT("\n%d Layers:\n", rt::Count(tables->layers));
    for (const Qdxf_Layer *layer = tables->layers; layer; layer = layer->next) {
        VX_PRINT("\n");
        qdxf_LayerPrint(layer);
    }
    VX_PRINT("\n%d Styles:\n", rt::Count(tables->styles));
    for (const Qdxf_Style *style = tables->styles; style; style = style->next) {
        VX_PRINT("\n");
        qdxf_StylePrint(style);
    }
}
