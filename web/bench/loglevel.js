// SPDX-License-Identifier: MIT
// loglevel as an ES module for dxf-viewer: its UMD build, loaded as a script by
// peer.html, sets window.log.
export default window.log;
