// SPDX-License-Identifier: MIT
// opentype.js as dxf-viewer imports it: its module build has named exports only.
import * as opentype from "./node_modules/opentype.js/dist/opentype.mjs";
export default opentype;
