// The page's own script, which is a classic one so that a page opened as a file can load it.
import kresovar from "./kresovar-lib.js";

export const {fold, foldBytes, detect} = kresovar;
export default kresovar;
