#!/usr/bin/python3
"""DIR: writes names_SCRIPT.dxf with ezdxf (R2018, UTF-8). --check FILE...:
prints each SCRIPT.* file where ezdxf does not read every name and text, or
another $DWGCODEPAGE than the one page that holds them (none holds the mix)."""
import os
import sys

SCRIPTS = {  # layer, block, text style, layer without an entry, text, page
    "cyrillic": ("Стена", "Окно", "Шрифт", "Дверь", "Привет, мир", "ANSI_1251"),
    "greek": ("Τοίχος", "Παράθυρο", "Γραμματοσειρά", "Πόρτα", "Καλημέρα κόσμε", "ANSI_1253"),
    "japanese": ("壁", "窓", "書体", "ドア", "こんにちは世界", "ANSI_932"),
    "korean": ("벽", "창문", "글꼴", "문", "안녕하세요 세계", "ANSI_949"),
    "mixed": ("ΛΑΓΕΡ", "ΠΟΡΤΑ", "Σ", "ΛΑ", "Grüße aus Ἀθῆναι", "ANSI_936"),
}

try:
    import ezdxf
    from ezdxf.lldxf.encoding import decode_dxf_unicode
except ImportError:
    sys.exit(77 if sys.argv[1] == "--check" else 0)  # make_drawings.py tells why
if sys.argv[1] == "--check":
    for path in sys.argv[2:]:
        layer, block, style, nowhere, text, page = SCRIPTS[os.path.basename(path).split(".")[0]]
        doc = ezdxf.readfile(path)
        found = [doc.header.get("$DWGCODEPAGE"), sorted(e.dxf.name for e in doc.layers),
                 block in doc.blocks, style in [e.dxf.name for e in doc.styles],
                 [decode_dxf_unicode(e.dxf.text) for e in doc.modelspace().query("TEXT")]]
        if found != [page, sorted(["0", "Defpoints", layer, nowhere]), True, True, [text]]:
            print(path, found)
    sys.exit(0)
ezdxf.options.write_fixed_meta_data_for_testing = True
for script, (layer, block, style, nowhere, text, page) in SCRIPTS.items():
    doc = ezdxf.new("R2018")
    doc.layers.add(layer, color=3)
    doc.styles.add(style, font="arial.ttf")
    doc.blocks.new(block).add_line((0, 0), (1, 1), dxfattribs={"layer": layer})
    msp = doc.modelspace()
    msp.add_blockref(block, (5, 5), dxfattribs={"layer": layer})
    msp.add_text(text, dxfattribs={"layer": layer, "style": style, "height": 2.5})
    msp.add_circle((0, 0), 3, dxfattribs={"layer": nowhere})
    doc.saveas(os.path.join(sys.argv[1], f"names_{script}.dxf"))
