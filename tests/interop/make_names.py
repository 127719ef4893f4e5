#!/usr/bin/python3
"""Writes drawings with names and texts beyond ASCII with ezdxf, an
independent DXF library: names_SCRIPT.dxf (DXF R2018, whose texts are UTF-8)
for four scripts and one that mixes Greek with German. Each has a layer, a
block and a text style named in the script, a TEXT in it, and entities on a
layer no entry defines.

    make_names.py OUTPUT_DIRECTORY
"""

import os
import sys

# script: (layer, block, text style, undefined layer, text)
SCRIPTS = {
    "cyrillic": ("Стена", "Окно", "Шрифт", "Дверь", "Привет, мир"),
    "greek": ("Τοίχος", "Παράθυρο", "Γραμματοσειρά", "Πόρτα", "Καλημέρα κόσμε"),
    "japanese": ("壁", "窓", "書体", "ドア", "こんにちは世界"),
    "korean": ("벽", "창문", "글꼴", "문", "안녕하세요 세계"),
    "mixed": ("ΛΑΓΕΡ", "ΠΟΡΤΑ", "Σ", "ΛΑ", "Grüße aus Ἀθῆναι"),
}


def main(output):
    os.makedirs(output, exist_ok=True)
    try:
        import ezdxf
    except ImportError:
        return 0  # make_drawings.py tells why
    ezdxf.options.write_fixed_meta_data_for_testing = True
    for script, (layer, block, style, nowhere, text) in SCRIPTS.items():
        doc = ezdxf.new("R2018")
        doc.layers.add(layer, color=3)
        doc.styles.add(style, font="arial.ttf")
        definition = doc.blocks.new(block)
        definition.add_line((0, 0), (1, 1), dxfattribs={"layer": layer})
        msp = doc.modelspace()
        msp.add_blockref(block, (5, 5), dxfattribs={"layer": layer})
        msp.add_text(text, dxfattribs={"layer": layer, "style": style, "height": 2.5})
        msp.add_circle((0, 0), 3, dxfattribs={"layer": nowhere})
        doc.saveas(os.path.join(output, f"names_{script}.dxf"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
