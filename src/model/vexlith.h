// SPDX-License-Identifier: MIT
/*
 * vexlith: reads and writes DXF drawings, ASCII and binary.
 *
 * A host reads a file with qdxf_Read and gets one Qdxf_Info, the drawing; it
 * may inspect it, change or extend it (qdxf_AddToList), write it with
 * qdxf_Write, print it with the dump exports, and releases it with
 * qdxf_InfoFree.
 *
 * Ownership, once for all records:
 *  - A drawing returned by qdxf_Read belongs to the caller until qdxf_InfoFree.
 *  - Every text, array and separately allocated coordinate reachable from a
 *    drawing belongs to the record that holds it, and so to the drawing. Each
 *    is its own block from qmsc_HeapMalloc or qstr_Duplicate; a record the host
 *    builds must follow the same rule and leave unused members 0 or null.
 *  - References (Qdxf_Layer.ltype, Qdxf_Block.layer, Qdxf_Entity.layer,
 *    Qdxf_Entity.block) point into the same drawing and are never freed
 *    through the referring record.
 *  - qdxf_Write and the dump exports only read the drawing.
 *  - A report handed out through a report parameter belongs to the caller,
 *    who releases the whole chain with qerr_ReportFree (pellund.h).
 *
 * Lists are pointers to their first record, null when empty; every list
 * record begins with the links next and prev; records keep file order.
 */
#ifndef VEXLITH_H
#define VEXLITH_H

#include "pellund.h"
#include "vexlith_version.h" /* VEXLITH_VERSION, _MAJOR, _MINOR, _PATCH */

#if defined(_WIN32)
#if defined(VEXLITH_BUILDING)
#define VEXLITH_API __declspec(dllexport)
#elif defined(VEXLITH_STATIC)
/* Code linked with the library's objects, or with either: plain calls. */
#define VEXLITH_API
#else
#define VEXLITH_API __declspec(dllimport)
#endif
#else
#define VEXLITH_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ===========================================================================
 * Records
 * ========================================================================= */

/* A 3-D coordinate. */
typedef struct Qdxf_Coord {
    double x;
    double y;
    double z;
} Qdxf_Coord;

/* One entry of the colour table: intensities 0.0 to 1.0. */
typedef struct Qdxf_ColorEntry {
    double red;
    double green;
    double blue;
    double spare1;
    double spare2;
} Qdxf_ColorEntry;

/* Indexed directly by DXF colour number; entries 0 (by block) and 256 (by
 * layer) have no colour of their own and read 0.0. */
typedef struct Qdxf_ColorTable {
    Qdxf_ColorEntry entries[257];
} Qdxf_ColorTable;

/* The header variables the library knows; a member is the variable's name
 * without "$" in lower case. Angles are stored as read. */
typedef struct Qdxf_Header {
    char *acadver;
    double angbase;
    int angdir;
    int aunits;
    int auprec;
    int cecolor;
    char *celtype;
    char *clayer;
    Qdxf_Coord *extmax; /* null when absent */
    Qdxf_Coord *extmin; /* null when absent */
    int fillmode;
    double ltscale;
    int lunits;
    int luprec;
    int plinegen;
    double plinewid;
    double tdcreate;
    double textsize;
    char *textstyle;
    double tracewid;
} Qdxf_Header;

/* One LTYPE table entry. dashLength has numDashItems elements when that is
 * positive (group 73); a count of 0 or below asks for no array. */
typedef struct Qdxf_Ltype {
    struct Qdxf_Ltype *next;
    struct Qdxf_Ltype *prev;
    char *name;
    char *handle;
    int flags;
    char *text;
    int alignment;
    int numDashItems;
    double patternLength;
    double *dashLength; /* null unless a positive count was read */
} Qdxf_Ltype;

/* One LAYER table entry. */
typedef struct Qdxf_Layer {
    struct Qdxf_Layer *next;
    struct Qdxf_Layer *prev;
    char *name;
    char *handle;
    int flags;
    int color; /* as read; negative when the layer is off */
    char *ltypeName;
    struct Qdxf_Ltype *ltype; /* reference: the line type named ltypeName, or null */
} Qdxf_Layer;

/* One STYLE table entry. obliqueAngle is in radians. */
typedef struct Qdxf_Style {
    struct Qdxf_Style *next;
    struct Qdxf_Style *prev;
    char *name;
    char *handle;
    int flags;
    double fixedTextHeight;
    double widthFactor;
    double obliqueAngle;
    int textGenFlags;
    double lastHeightUsed;
    char *primaryFontFile;
    char *bigFontFile;
} Qdxf_Style;

/* The three symbol tables the library reads. */
typedef struct Qdxf_Tables {
    Qdxf_Ltype *ltypes;
    Qdxf_Layer *layers;
    Qdxf_Style *styles;
} Qdxf_Tables;

struct Qdxf_Entity;

/* One block definition. */
typedef struct Qdxf_Block {
    struct Qdxf_Block *next;
    struct Qdxf_Block *prev;
    struct Qdxf_Layer *layer; /* reference; null for a block without entities */
    char *layerName;
    char *handle;
    char *ltypeName;
    double elevation;
    double thickness;
    int color; /* 256: by layer */
    int space; /* 0 model space, 1 paper space */
    char *name;
    int typeFlag;
    Qdxf_Coord basePoint;
    char *xrefPath;
    struct Qdxf_Entity *entities; /* each entity's block points back here */
} Qdxf_Block;

/* The kind of an entity. */
typedef enum Qdxf_EntityType {
    QDXF_INVALID = 0, /* a kind the reader does not know: common members only */
    QDXF_LINE = 1,
    QDXF_POINT = 2,
    QDXF_CIRCLE = 3,
    QDXF_ARC = 4,
    QDXF_TRACE = 5,
    QDXF_SOLID = 6,
    QDXF_TEXT = 7,
    QDXF_INSERT = 8,
    QDXF_POLYLINE = 9,
    QDXF_3DFACE = 10 /* uses data.polyline: count and vertices only (with the read options
                        also flag: its hidden edges, group 70) */
} Qdxf_EntityType;

/* One polyline vertex (an array element, not a list record). */
typedef struct Qdxf_Vertex {
    char *ltypeName; /* never set by the reader */
    Qdxf_Coord location;
    double startingWidth;
    double endingWidth;
    double bulge;
    int flags;
    double tangentDir; /* degrees, as read */
} Qdxf_Vertex;

/* Angles of the per-type records are in radians. */
typedef struct Qdxf_Line {
    Qdxf_Coord start;
    Qdxf_Coord end;
} Qdxf_Line;

typedef struct Qdxf_Point {
    Qdxf_Coord location;
} Qdxf_Point;

typedef struct Qdxf_Circle {
    Qdxf_Coord center;
    double radius;
} Qdxf_Circle;

typedef struct Qdxf_Arc {
    Qdxf_Coord center;
    double radius;
    double startAngle;
    double endAngle;
} Qdxf_Arc;

/* TRACE and SOLID. */
typedef struct Qdxf_Trace {
    Qdxf_Coord corner[4];
} Qdxf_Trace;

typedef struct Qdxf_Text {
    Qdxf_Coord insertionPoint;
    double height;
    char *text;
    double angle;
    double xScale;
    double obliqueAngle;
    char *style;
    int flags;
    int horizJust;
    int vertJust;
    Qdxf_Coord *alignmentPoint; /* owned; null when the entity has none */
} Qdxf_Text;

typedef struct Qdxf_Insert {
    int attributesFollow;
    char *blockName;
    Qdxf_Coord insertionPoint;
    double xScale;
    double yScale;
    double zScale;
    double rotationAngle;
    int columnCount;
    int rowCount;
    double columnSpacing;
    double rowSpacing;
} Qdxf_Insert;

/* POLYLINE, and the corners of a 3DFACE (count and vertices only). */
typedef struct Qdxf_Polyline {
    double elevation;
    int flag;
    double defaultStartingWidth;
    double defaultEndingWidth;
    int meshVertexCount[2];
    int smoothSurfaceDensity[2];
    int type;
    int count;
    Qdxf_Vertex *vertices; /* owned array of count vertices */
} Qdxf_Polyline;

/* One entity: common members, the kind, and the per-type data. */
typedef struct Qdxf_Entity {
    struct Qdxf_Entity *next;
    struct Qdxf_Entity *prev;
    struct Qdxf_Layer *layer; /* reference: the layer named layerName, or null */
    struct Qdxf_Block *block; /* reference: the owning block, null in ENTITIES */
    char *layerName;
    char *handle;
    char *ltypeName;
    double elevation;
    double thickness;
    int color; /* 256: by layer, 0: by block */
    int space; /* 0 model space, 1 paper space */
    Qdxf_EntityType type;
    union {
        Qdxf_Line line;
        Qdxf_Point point;
        Qdxf_Circle circle;
        Qdxf_Arc arc;
        Qdxf_Trace trace;
        Qdxf_Trace solid;
        Qdxf_Text text;
        Qdxf_Insert insert;
        Qdxf_Polyline polyline;
    } data;
} Qdxf_Entity;

/* The drawing. Every member is owned. */
typedef struct Qdxf_Info {
    Qdxf_ColorTable *colorTable; /* set on every drawing read */
    Qdxf_Header *header;         /* null when the file had no HEADER section */
    Qdxf_Tables *tables;         /* null when the file had no TABLES section */
    Qdxf_Block *blocks;
    Qdxf_Entity *entities;
} Qdxf_Info;

/* ===========================================================================
 * Reading and writing
 * ========================================================================= */

/*
 * Reads a DXF file, ASCII or binary (told apart by the binary sentinel).
 * @param fileName  the file to read; null fails as a file that cannot be
 *                  opened ("Error opening file (null)").
 * @param meter     the host's progress meter, called after every group with the
 *                  percentage read; null for no progress.
 * @param report    receives null on success, or the chain of reports of the
 *                  failure (outermost first), which the caller releases with
 *                  qerr_ReportFree; may be null.
 * @return the drawing, owned by the caller and released with qdxf_InfoFree; null
 *         on failure, when nothing is left behind (the file is closed and
 *         everything read so far released).
 * Numbers are read as in the C locale whatever locale the host has set. The
 * read's state is its own: reads may run on several threads at once, and a
 * read or a write may start from within the meter callback.
 */
VEXLITH_API Qdxf_Info *qdxf_Read(const char *fileName, qmet_Meter *meter, qerr_Report **report);

/*
 * Writes a drawing as a DXF file.
 * @param info      the drawing, only read; null reports "Null drawing" and
 *                  creates no file.
 * @param fileName  the file to write; null fails as a file that cannot be
 *                  opened ("Error opening file (null)").
 * @param binary    1 for the binary form, any other value for ASCII.
 * @param reserved  ignored.
 * @param report    receives null on success or the chain of the failure,
 *                  which the caller releases with qerr_ReportFree; may be null.
 * The file is created or truncated. A failed write closes the file; what was
 * written stays on disk.
 * Limits of the forms: the binary form holds every integer in 16 bits (the low
 * 16 bits, two's complement, as the format has it) and every group code in 8;
 * a text takes at most 498 characters in ASCII (CR and LF count two each,
 * written as ^M and ^J) and 499 in binary, so that a reader takes it back
 * whole: a longer one fails the write ("Text of N characters is more than
 * ...").
 */
VEXLITH_API void qdxf_Write(const Qdxf_Info *info, const char *fileName, int binary, int reserved,
                            qerr_Report **report);

/* ===========================================================================
 * Reading and writing with options
 *
 * The exports above keep the behaviour they have always had. These three take
 * options; a null options pointer gives exactly the behaviour of qdxf_Read or
 * qdxf_Write. An options record whose size is smaller than its first two
 * members, or whose flags hold a bit the library does not know, fails the
 * call with a report.
 * ========================================================================= */

#define QDXF_READ_MODERN_KINDS 0x1u /* kinds outside the ten become records of the ten */
#define QDXF_READ_WORLD 0x2u /* entities with an extrusion direction placed in world coordinates \
                              */
#define QDXF_READ_UTF8 0x4u  /* every text in UTF-8 */
#define QDXF_READ_ALL 0x7u
/* Read what a damaged file holds, listing every repair (QDXF_READ_ALL stays
 * 0x7: recovering is asked for on its own). */
#define QDXF_READ_RECOVER 0x8u

/* One repair a recovering read made. The list is in file order. */
typedef struct Qdxf_Repair {
    struct Qdxf_Repair *next;
    struct Qdxf_Repair *prev;
    int line;         /* ASCII: the line of the group where the damage is (its code line);
                         binary: 0 */
    long long offset; /* the byte offset of that group in the file */
    int action;       /* QDXF_REPAIR_... */
    int loss;         /* 0: the form only (blanks, a line end, a case); 1: a value was changed
                         or made up; 2: data was dropped */
    int count;        /* the same repair at that many consecutive places, listed once */
    char *found;      /* what the file held there, at most 80 bytes, or null */
    char *message;    /* what was done, one English sentence */
} Qdxf_Repair;

#define QDXF_REPAIR_SKIPPED 1  /* input passed over (a group, a line, bytes after EOF) */
#define QDXF_REPAIR_REPLACED 2 /* a value read as another (a decimal comma, a bad number as 0) */
#define QDXF_REPAIR_INSERTED 3 /* something missing supplied (ENDSEC, SEQEND, EOF, a layer) */
#define QDXF_REPAIR_RENAMED 4  /* a duplicate handle or name given a new one */
#define QDXF_REPAIR_DROPPED 5  /* a record left out (an entity cut off by the file's end) */

typedef struct Qdxf_ReadOptions {
    unsigned int size;  /* sizeof (Qdxf_ReadOptions): members past it are not read (growth) */
    unsigned int flags; /* QDXF_READ_... */
    double tolerance;   /* largest distance between a curve and the polyline that stands for it,
                           in drawing units; 0 or less: the library's default, a small fraction
                           of each curve's own size, so that a curve keeps its shape in any
                           units. Whatever the tolerance, one curve becomes at most 65536
                           segments. */
    /* From version 0.4 on. */
    const void *data;      /* not null: these dataSize bytes are read instead of the file, and
                              fileName only names them in reports (null: "(memory)"); the
                              caller keeps them unchanged until the read returns */
    size_t dataSize;
    Qdxf_Repair **repairs; /* with QDXF_READ_RECOVER and not null: receives the list of
                              repairs, null when none, released with qdxf_RepairsFree */
} Qdxf_ReadOptions;

/*
 * qdxf_Read with options: the same drawing, report chains and ownership, plus
 * what the flags ask for. Null options read as qdxf_Read does.
 * QDXF_READ_MODERN_KINDS: each entity still becomes exactly one record, in
 * file order. LWPOLYLINE, ELLIPSE, SPLINE, MTEXT, DIMENSION, ACAD_TABLE,
 * ATTRIB, LEADER, HATCH, MULTILEADER, MLINE, MESH, TOLERANCE, WIPEOUT, IMAGE,
 * RAY, XLINE and polyface meshes become records of the ten; what
 * one record cannot hold becomes an INSERT, at the origin and unscaled, of an
 * anonymous block ("*U" and a number no block of the file uses, type flag 1)
 * appended to the drawing's blocks, whose pieces are on layer "0" in colour
 * BYBLOCK. A polyface mesh's faces are 3DFACE records whose polyline `flag`
 * holds the hidden edges (bit 1 the edge from the first corner), as the
 * options read a 3DFACE's group 70 there. The log says "NAME entity translated" once per kind; an
 * entity whose data makes its translation impossible stays QDXF_INVALID with
 * the log message "NAME entity not translated: why".
 * The anonymous blocks of one read hold at most a budget in proportion to the
 * file (to the bytes read so far when its size is unknown): 64 pieces per KiB
 * and 32 bytes per byte (records, vertices, texts), at least 65536 pieces and
 * 32 MiB, at most 16777216 pieces and 4 GiB. An entity whose translation would
 * go past it stays QDXF_INVALID, the log saying once per read "NAME entity not
 * translated: the drawing's translation budget is spent"; the read goes on.
 * One HATCH makes at most 16384 pattern lines or fill pieces plus 64 per byte
 * of its own in the file.
 */
VEXLITH_API Qdxf_Info *qdxf_ReadWithOptions(const char *fileName, qmet_Meter *meter,
                                            const Qdxf_ReadOptions *options, qerr_Report **report);

#define QDXF_WRITE_COMPLETE \
    0x1u /* tables, header variables and every member: reads back the same */
#define QDXF_WRITE_R12_NAMES 0x2u /* names R12 programs accept */
/* A text longer than the form holds is cut to what it holds, with one log
 * message, instead of failing the write. */
#define QDXF_WRITE_FIT_TEXTS 0x4u

typedef struct Qdxf_WriteOptions {
    unsigned int size;  /* sizeof (Qdxf_WriteOptions): members past it are not read (growth) */
    unsigned int flags; /* QDXF_WRITE_... */
    /* From version 0.4 on. */
    void **data;      /* not null: the file is written into one block from qmsc_HeapMalloc,
                         handed out here (the caller frees it with qmsc_HeapFree), instead of
                         into fileName, which then only names it in reports; null after a
                         failed write */
    size_t *dataSize; /* with data: receives the number of bytes written */
} Qdxf_WriteOptions;

/*
 * qdxf_Write with options: `binary` as for qdxf_Write; null options write as
 * qdxf_Write does.
 */
VEXLITH_API void qdxf_WriteWithOptions(const Qdxf_Info *info, const char *fileName, int binary,
                                       const Qdxf_WriteOptions *options, qerr_Report **report);

/* Each entity of the ENTITIES section, in file order, as soon as it is read;
 * it is released when the callback returns. Non-zero from the callback stops
 * the read early, without a report. */
typedef int (*Qdxf_EntityCallback)(void *context, const Qdxf_Info *drawing,
                                   const Qdxf_Entity *entity);

/*
 * Reads a file as qdxf_ReadWithOptions does, but hands each entity of the
 * ENTITIES section to `callback` instead of keeping it: the drawing returned
 * holds the header, the tables and the blocks, and no entities. The entity
 * and everything it owns are only valid during the callback; its layer
 * reference points into `drawing`. A read stopped by the callback returns the
 * drawing read so far and no report. A failure after some callbacks gives the
 * report chain qdxf_Read gives for the file, and null.
 * With QDXF_READ_MODERN_KINDS an entity handed over may be an INSERT of an
 * anonymous block the read appended to `drawing`'s blocks, under the name it
 * keeps; only a block definition that follows the ENTITIES section (which no
 * producer writes) and takes its number renames the block afterwards.
 */
VEXLITH_API Qdxf_Info *qdxf_ReadEach(const char *fileName, qmet_Meter *meter,
                                     const Qdxf_ReadOptions *options, Qdxf_EntityCallback callback,
                                     void *context, qerr_Report **report);

/* Releases a list of repairs (Qdxf_ReadOptions.repairs), every record and
 * text of it; null does nothing. */
VEXLITH_API void qdxf_RepairsFree(Qdxf_Repair *repairs);

/* ===========================================================================
 * Release and lists
 * ========================================================================= */

/* Releases a drawing and everything it owns, references aside; null does
 * nothing. */
VEXLITH_API void qdxf_InfoFree(Qdxf_Info *info);

/*
 * Links `record` (a Qdxf_Ltype, Qdxf_Layer, Qdxf_Style, Qdxf_Block or
 * Qdxf_Entity) at the end of `list` and returns the list, which the caller
 * stores as the new list. A null list gives the record itself, a null record
 * the list unchanged. The record becomes owned by the drawing holding the list.
 */
VEXLITH_API void *qdxf_AddToList(void *list, void *record);

/* ===========================================================================
 * Colour table
 * ========================================================================= */

/* A new colour table holding the standard 257 entries, owned by the caller
 * (release with qmsc_HeapFree, or store it as a drawing's colorTable), or null
 * when the heap is exhausted, with the chain in *report when report is not
 * null (the caller releases it with qerr_ReportFree). */
VEXLITH_API Qdxf_ColorTable *qdxf_ColorTableCreate(qerr_Report **report);

/* ===========================================================================
 * Dump: readable text through qfio_Printf (see qfio_SetPrintSink)
 * ========================================================================= */

/* Each export prints the record (a Print of a list record prints that one
 * record; qdxf_TablesPrint and qdxf_BlockPrint print what they hold) through
 * qfio_Printf: to standard output, or to the sink set with qfio_SetPrintSink.
 * The record is only read. Each prints nothing for a null record, so that a
 * member a drawing lacks (a file without a HEADER section has a null header)
 * can be passed as it is. */

VEXLITH_API void qdxf_HeaderPrint(const Qdxf_Header *header);
VEXLITH_API void qdxf_LtypePrint(const Qdxf_Ltype *ltype);
VEXLITH_API void qdxf_LayerPrint(const Qdxf_Layer *layer);
VEXLITH_API void qdxf_StylePrint(const Qdxf_Style *style);
VEXLITH_API void qdxf_TablesPrint(const Qdxf_Tables *tables);
VEXLITH_API void qdxf_EntityPrint(const Qdxf_Entity *entity);
VEXLITH_API void qdxf_EntityPrintQuick(const Qdxf_Entity *entity);
VEXLITH_API void qdxf_BlockPrint(const Qdxf_Block *block);

#ifdef __cplusplus
}
#endif

#endif /* VEXLITH_H */
