// Simple case folding: each character to the one that stands for all its cases, one for one, so a search
// that ignores case compares folded characters and its positions stay those of the text ("É" and "é" fold
// alike, as do "K", "k" and the Kelvin sign).
#pragma once

// The folded form of every character of the basic plane, indexed by the character; surrogates stay as they
// are.
const char16_t* CaseFoldingTable();

// A supplementary character's second half, folded; its first half never changes.
char16_t FoldLowSurrogate(char16_t high, char16_t low);
