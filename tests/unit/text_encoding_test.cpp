// SPDX-License-Identifier: MIT
// Texts in UTF-8 (QDXF_READ_UTF8): each code page by the names files give it,
// the escapes, mislabelled and broken texts; drawings whose non-ASCII names
// must still find their layers and blocks; corpus drawings as ezdxf decodes
// them. The expectations hold on every platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "drawings.h"
#include "pellund_testing.h"
#include "test_support.h"
#include "translate/text_encoding.h"

using namespace testing_support;
namespace tx = vexlith::translate;

namespace {

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD

struct Case {
    const char *acadver, *codePage;
    std::string bytes, utf8;
};

const Case kCases[] = {
    // Each code page, by the names files give it; no name or an unknown one
    // is ANSI_1252.
    {"AC1009", "ANSI_1252", "\x80\xC4\xFC", "€Äü"},
    {"AC1009", nullptr, "\xC4", "Ä"},
    {"AC1009", "no such page", "\xC4", "Ä"},
    {"AC1009", "ansi_1250", "\x8A\xB9", "Šą"},
    {"AC1009", "ANSI_1251", "\xCF\xF0\xE8", "При"},
    {"AC1009", "ANSI_1253", "\xC1\xE2", "Αβ"},
    {"AC1009", "ANSI_1255", "\xF9\xE0", "שא"},
    {"AC1009", "ANSI_1258", "\xD0", "Đ"},
    {"AC1009", "ANSI_874", "\xA1", "ก"},
    {"AC1009", "dos850", "\x81\x9B", "üø"},
    {"AC1009", "DOS866", "\x8F", "П"},
    {"AC1009", "mac-roman", "\x8A", "ä"},
    {"AC1009", "iso8859-5", "\xBF", "П"},
    {"AC1009", "ANSI_932", "\x82\xA0\x95\x5C\xB1", "あ表ｱ"},
    {"AC1009", "dos932", "\x82\xA0", "あ"},
    {"AC1009", "ANSI_936", "\xC4\xE3\x80", "你€"},
    {"AC1009", "gb2312", "\xC4\xE3", "你"},
    {"AC1009", "ANSI_949", "\xB0\xA1", "가"},
    {"AC1009", "ksc5601", "\xB0\xA1", "가"},
    {"AC1009", "ANSI_950", "\xA4\x40", "一"},
    {"AC1009", "big5", "\xA4\x40", "一"},
    {"AC1009", "johab", "\x88\x61", "가"},
    // From AC1021 on the file is UTF-8; so is a text that is valid UTF-8.
    {"AC1021", "ANSI_1251", "Tsch\xC3\xBCss", "Tschüss"},
    {"AC1015", "UTF-8", "\xE2\x82\xAC", "€"},
    {"AC1009", "ANSI_1252", "\xC3\xA4", "ä"},
    {"AC1015", "ANSI_932", "\xD0\x9F\xD1\x80\xD0\xB8", "При"},
    // Escapes, in any page; an invalid one stays as written.
    {"AC1009", "ANSI_1252", "\\U+00B0C \\U+039b", "°C Λ"},
    {"AC1021", nullptr, "\\U+D83D\\U+DE00", "😀"},
    {"AC1009", "ANSI_932", "\\M+182A0\\m+182A0\\M+2A440\\M+3B0A1\\M+48861\\M+5C4E3",
     "ああ一가가你"},
    {"AC1009", "ANSI_1251", "\\M+10041\\M+100B1\xCF", "AｱП"},
    {"AC1009", "ANSI_1252", "\\U+D83D \\U+0000\\U+12G4\\u+00B0\\M+60041\\M+14142\\M+1F040\\U+12",
     "\\U+D83D \\U+0000\\U+12G4\\u+00B0\\M+60041\\M+14142\\M+1F040\\U+12"},
    {"AC1009", "ANSI_932", "\x95\\U+00B0", "表U+00B0"},  // a second byte 0x5C is no backslash
    // Bytes the page defines nothing for (a user-defined code included); an
    // ASCII second byte then stands for itself.
    {"AC1009", "ANSI_1252", "\x81", kBad},
    {"AC1009", "ANSI_874", "\xDB", kBad},
    {"AC1021", nullptr, "a\xC4", "a" + kBad},
    {"AC1009", "ANSI_932", "\x82\x41\xF0@\x80\xA0\x82",
     kBad + "A" + kBad + "@" + kBad + kBad + kBad},
    {"AC1009", "ANSI_949", "\xB0\xFF", kBad + kBad},
};

TEST(TextEncoding, EachCodePageAndEscapeGivesItsCharacters) {
    for (const Case &test : kCases) {
        tx::TextEncoding encoding = tx::EncodingOf(test.acadver, test.codePage);
        char *copy = tx::Utf8Copy(encoding, test.bytes.data(), test.bytes.size());
        char *member = HeapText(test.bytes.c_str());
        EXPECT_TRUE(tx::ToUtf8(encoding, &member));
        EXPECT_EQ(std::string(copy), test.utf8) << test.bytes;
        EXPECT_STREQ(member, copy);
        qmsc_HeapFree(member);
        qmsc_HeapFree(copy);
    }
}

TEST(TextEncoding, PlainTextsStayWithoutAHeapCall) {
    tx::TextEncoding encoding = tx::EncodingOf("AC1009", "ANSI_932");
    for (const char *text : {"LAYER_1", "C:\\fonts\\a.shx", "\\P\\U+12", "\\M+60041", "\xC3\xA4"}) {
        char *member = HeapText(text), *before = member;
        pellund_TestReset();
        EXPECT_TRUE(tx::ToUtf8(encoding, &member));
        EXPECT_EQ(pellund_TestAllocationCount(), 0) << text;
        EXPECT_EQ(member, before);
        qmsc_HeapFree(member);
    }
}

// Names and a text written in a code page: $CLAYER, a line type, a layer of
// that line type, a style, a block on the layer holding a TEXT, and in
// ENTITIES a TEXT and an INSERT of the block. The entities name their layer
// with the bytes of `entityLayer`.
struct ReadCase {
    const char *acadver, *codePage;
    std::string layer, text, entityLayer;  // as written
    std::string layerUtf8, textUtf8;
};

const ReadCase kReads[] = {
    {"AC1009", "ANSI_1251", "\xD1\xEB\xEE\xE9", "\xD2\xE5\xEA\xF1\xF2", "\xD1\xEB\xEE\xE9", "Слой",
     "Текст"},
    {"AC1015", "ANSI_932", "\x95\x5C\x8E\xA6", "\x83\x65\x83\x4C\x83\x58\x83\x67",
     "\\M+1955C\x8E\xA6", "表示", "テキスト"},
    {"AC1021", "ANSI_1252", "\\U+0394elta", "\xE2\x88\x85 80", "\xCE\x94\x65lta", "Δelta", "∅ 80"},
};

std::vector<Group> DrawingOf(const ReadCase &c) {
    const std::string &layer = c.layer, &text = c.text, &on = c.entityLayer;
    std::vector<Group> header = {{9, "$ACADVER"}, {1, c.acadver}, {9, "$DWGCODEPAGE"},
                                 {3, c.codePage}, {9, "$CLAYER"}, {8, layer}};
    return Drawing(
        {Section("HEADER", header),
         Section("TABLES", Table("LTYPE", {{0, "LTYPE"}, {2, layer}, {3, text}}) +
                               Table("LAYER", {{0, "LAYER"}, {2, layer}, {6, layer}}) +
                               Table("STYLE", {{0, "STYLE"}, {2, layer}, {3, text}})),
         Section(
             "BLOCKS",
             {{0, "BLOCK"}, {8, layer}, {2, text}, {0, "TEXT"}, {8, on}, {1, text}, {0, "ENDBLK"}}),
         Section("ENTITIES", {{0, "TEXT"},
                              {8, on},
                              {6, layer},
                              {1, text},
                              {7, layer},
                              {0, "INSERT"},
                              {8, on},
                              {2, text}})});
}

const Qdxf_ReadOptions kUtf8{sizeof(Qdxf_ReadOptions), QDXF_READ_UTF8, 0.0, nullptr, 0, nullptr};

TEST(TextEncoding, NamesInUtf8StillFindTheirLayersAndBlocks) {
    for (const ReadCase &test : kReads) {
        for (const std::string &contents : {Ascii(DrawingOf(test)), Binary(DrawingOf(test))}) {
            TempFile file(contents);
            qerr_Report *report = nullptr;
            DrawingPtr drawing(qdxf_ReadWithOptions(file.c_str(), nullptr, &kUtf8, &report));
            ASSERT_TRUE(drawing) << ::testing::PrintToString(Levels(report));
            const Qdxf_Tables &tables = *drawing->tables;
            const Qdxf_Block &block = *drawing->blocks;
            const Qdxf_Entity &text = *drawing->entities, &insert = *text.next;
            for (const char *name :
                 {drawing->header->clayer, tables.layers->name, tables.layers->ltypeName,
                  tables.ltypes->name, tables.styles->name, text.ltypeName, text.data.text.style})
                EXPECT_EQ(std::string(name), test.layerUtf8) << test.codePage;
            for (const char *value : {tables.ltypes->text, tables.styles->primaryFontFile,
                                      block.name, text.data.text.text, insert.data.insert.blockName,
                                      block.entities->data.text.text})
                EXPECT_EQ(std::string(value), test.textUtf8) << test.codePage;
            EXPECT_EQ(tables.layers->ltype, tables.ltypes);
            for (const Qdxf_Layer *layer :
                 {block.layer, text.layer, insert.layer, block.entities->layer})
                EXPECT_EQ(layer, tables.layers) << test.codePage;
            // Without the option the bytes stay as written.
            ReadOutcome plain = ReadFile(file.path());
            EXPECT_EQ(std::string(plain.drawing->entities->data.text.text), test.text);
            // A streaming read finds the tables converted already.
            std::string seen;
            auto take = [](void *context, const Qdxf_Info *, const Qdxf_Entity *entity) {
                if (entity->layer) *static_cast<std::string *>(context) += entity->layer->name;
                return 0;
            };
            DrawingPtr(qdxf_ReadEach(file.c_str(), nullptr, &kUtf8, take, &seen, nullptr));
            EXPECT_EQ(seen, test.layerUtf8 + test.layerUtf8);
        }
    }
}

TEST(TextEncoding, EveryFailedAllocationFailsTheUtf8ReadCleanly) {
    TempFile file(Ascii(DrawingOf(kReads[1])));
    pellund_TestReset();
    DrawingPtr(qdxf_ReadWithOptions(file.c_str(), nullptr, &kUtf8, nullptr));
    long calls = pellund_TestAllocationCount(), liveBefore = pellund_TestLiveBlocks();
    for (long n = 1; n <= calls; ++n) {
        pellund_TestReset();
        pellund_TestFailAllocation(n);
        qerr_Report *report = nullptr;
        EXPECT_EQ(qdxf_ReadWithOptions(file.c_str(), nullptr, &kUtf8, &report), nullptr) << n;
        pellund_TestReset();
        EXPECT_NE(report, nullptr) << n;
        qerr_ReportFree(report);
        EXPECT_EQ(pellund_TestLiveBlocks(), liveBefore) << n;
    }
}

// The non-ASCII texts of a drawing that ezdxf_texts.py lists, one line each.
std::string NonAsciiTexts(const std::string &path, const Qdxf_Info &drawing) {
    std::set<std::string> texts;
    auto add = [&texts](std::initializer_list<const char *> values) {
        for (const char *text : values) {
            if (text &&
                std::any_of(text, text + std::strlen(text), [](char c) { return c & 0x80; }))
                texts.insert(text);
        }
    };
    auto addEntities = [&add](const Qdxf_Entity *entity) {
        for (; entity; entity = entity->next) {
            add({entity->layerName, entity->ltypeName});
            if (entity->type == QDXF_TEXT) add({entity->data.text.text, entity->data.text.style});
            if (entity->type == QDXF_INSERT) add({entity->data.insert.blockName});
        }
    };
    if (const Qdxf_Header *header = drawing.header)
        add({header->clayer, header->celtype, header->textstyle});
    for (const Qdxf_Layer *layer = drawing.tables->layers; layer; layer = layer->next)
        add({layer->name, layer->ltypeName});
    for (const Qdxf_Ltype *ltype = drawing.tables->ltypes; ltype; ltype = ltype->next)
        add({ltype->name, ltype->text});
    for (const Qdxf_Style *style = drawing.tables->styles; style; style = style->next)
        add({style->name, style->primaryFontFile, style->bigFontFile});
    for (const Qdxf_Block *block = drawing.blocks; block; block = block->next) {
        add({block->name, block->layerName});
        addEntities(block->entities);
    }
    addEntities(drawing.entities);
    std::string lines;
    for (const std::string &text : texts)
        lines += path + "\t" + text + "\n";
    return lines;
}

TEST(TextEncoding, CorpusTextsAreThoseEzdxfDecodes) {
    SKIP_WITHOUT_PYTHON3();
    if (CorpusDir().empty()) GTEST_SKIP() << "no corpus";
    std::string command = std::string("'") + VEXLITH_PYTHON3 + "' '" + VEXLITH_SOURCE_DIR +
                          "/tests/interop/ezdxf_texts.py'";
    std::string expected, output;
    LogCapture quiet;  // the kinds not read
    for (const char *file :
         {"ascii-modern/ezdxf_dxf_unicode.dxf", "ascii-modern/jsdxf_empty.dxf",
          "ascii-modern/jsdxf_issue52.dxf", "ascii-modern/libredwg_2013_gh109_1.dxf",
          "ascii-modern/netdxf_sample.dxf", "ascii-r12/ezdxf_ASCII_R12.dxf",
          "ascii-r12/acadsharp_sample_AC1009_ascii.dxf",
          "binary/acadsharp_sample_AC1009_binary.dxf", "binary/netdxf_sample_binary.dxf"}) {
        std::string path = (CorpusDir() / file).string();
        command += " '" + path + "'";
        DrawingPtr drawing(qdxf_ReadWithOptions(path.c_str(), nullptr, &kUtf8, nullptr));
        ASSERT_TRUE(drawing) << file;
        expected += NonAsciiTexts(path, *drawing);
    }
#if !defined(_WIN32)
    std::FILE *pipe = ::popen((command + " 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    int status = ::pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << output;
    EXPECT_EQ(status, 0) << output;
#endif
    EXPECT_EQ(output, expected);
}

}  // namespace
