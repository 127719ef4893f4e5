// SPDX-License-Identifier: MIT
// JSON on standard output, written as it is made: objects and arrays nest,
// commas and escapes are the writer's. Texts from a file are taken as the
// renderer decodes them (UTF-8 kept, other bytes as Windows-1252); reals are
// written shortest-exact, and those that are not finite as the strings
// "nan", "inf" and "-inf", which JSON has no numbers for.
// The values are written through virtual calls, so that a subclass builds
// the same document in another form (the Python package's dicts and lists).
#ifndef VEXLITH_TOOLS_JSON_H
#define VEXLITH_TOOLS_JSON_H

#include <string>
#include <string_view>
#include <vector>

#include "vexlith.h"

namespace cli {

class Json {
public:
    Json() = default;
    // Appends the document to `into` instead of writing it to standard output.
    explicit Json(std::string *into) : into_(into) {}
    virtual ~Json() { Flush(); }
    Json(const Json &) = delete;
    Json &operator=(const Json &) = delete;

    virtual Json &Object();
    virtual Json &Array();
    virtual Json &End();  // of the innermost object or array
    virtual Json &Key(std::string_view key);
    Json &Text(const char *text);                 // a text from a file; null is null
    virtual Json &String(std::string_view text);  // UTF-8
    virtual Json &Real(double value);
    virtual Json &Integer(long long value);
    virtual Json &Null();
    Json &Coord(const Qdxf_Coord &coord);  // [x, y, z]
    Json &CoordOrNull(const Qdxf_Coord *coord);
    // Ends the document with a newline and writes it out.
    void Finish();

private:
    Json &Open(char opener, char closer);
    void Value();  // a comma before a value that is not the first
    void Raw(std::string_view text);
    void Quoted(std::string_view utf8);
    void Flush();

    std::string buffer_;
    std::vector<bool> first_;  // per open object or array: nothing in it yet
    std::vector<char> closers_;
    bool afterKey_ = false;
    std::string *into_ = nullptr;
};

// The schema of the tool's JSON, written as "schema" in every document.
constexpr int kJsonSchema = 1;

// Records as JSON objects with every member, named as in the records.
void WriteHeader(Json &json, const Qdxf_Header *header);  // null as null
void WriteTables(Json &json, const Qdxf_Tables *tables);
void WriteBlock(Json &json, const Qdxf_Block &block);
void WriteEntity(Json &json, const Qdxf_Entity &entity);
// The members of the entity's kind alone: the object WriteEntity writes as "data".
void WriteEntityData(Json &json, const Qdxf_Entity &entity);

// The parts of the document of `vexlith dump --json`.
enum DocumentPart : unsigned {
    kDocumentHeader = 1,
    kDocumentTables = 2,
    kDocumentBlocks = 4,
    kDocumentEntities = 8,
    kDocumentAll = 15,
};
// The document: "schema" and the parts asked for, in the order of the file's
// sections.
void WriteDocument(Json &json, const Qdxf_Info &drawing, unsigned parts);

}  // namespace cli

#endif
