// Editing option texts (blank-separated option words) before they are handed to the shader
// manager. Pure functions: any thread.
#pragma once

// Overwrites the first whole-word occurrence of `word` in `text` with blanks, so that removing
// "SHADOWMAP" leaves "USE_SHADOWMAP" and "SHADOWMAP_FILTERING" intact. True when a word was removed.
bool RemoveOptionWord(char* text, const char* word);
