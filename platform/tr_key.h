#pragma once
// Marks an English text that reaches Translate through a table or a constant
// rather than as the literal argument of the call. It expands to the text
// itself; velmora-lang-keys reads the mark to know every key the program uses.
#define TR_KEY(english) english
